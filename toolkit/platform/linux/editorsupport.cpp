// Linux: no host delivers our window's events, so idle pumps them; no OLE, and
// our child window simply takes a new size.
#include "platform/editorsupport.h"

#include "linuxplatform.h"

#include <cerrno>
#include <ctime>

namespace Toolkit::EditorSupport {

void enterEditorThread() {}
void leaveEditorThread() {}

std::uint32_t ticks() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms); // wraps, as the tick arithmetic expects
}

void wait(std::uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

// Events are read before the redraw pass, and what that pass invalidated is
// painted in the same idle call.
void beforeFrameIdle() {
    LinuxPlatform::pumpEvents();
}
void afterFrameIdle() {
    LinuxPlatform::pumpEvents();
}
void pumpPaint() {
    LinuxPlatform::pumpEvents();
}

bool resizeNativeWindows(void* /*nativeWindow*/, std::int32_t /*width*/, std::int32_t /*height*/) {
    return true;
}

double systemScaleFactor(void* /*parentWindow*/) {
    return 1.0;
}

} // namespace Toolkit::EditorSupport

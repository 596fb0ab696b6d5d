// Linux: no host delivers our window's events, so idle pumps them; no OLE, and our child
// window simply takes a new size.
#include "platform/editorsupport.h"

#include "linuxfactory.h"
#include "linuxplatform.h"
#include "systemscale.h"
#include "x11connection.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>

namespace Toolkit::EditorSupport {

IPlatformFactory& platformFactory() {
    static LinuxPlatform::LinuxFactory factory;
    return factory;
}

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

// Events are read before the redraw pass, and what that pass invalidated is painted in the
// same idle call.
int eventDescriptor() {
    LinuxPlatform::X11Connection* connection = LinuxPlatform::X11Connection::acquireIfOpen();
    if (!connection) {
        return -1;
    }
    const int fd = connection->failed() ? -1 : xcb_get_file_descriptor(connection->connection());
    connection->release();
    return fd;
}

void beforeFrameIdle() {
    LinuxPlatform::pumpEvents();
}
void afterFrameIdle() {
    LinuxPlatform::pumpEvents();
}
void pumpPaint() {
    LinuxPlatform::pumpEvents();
}

// The host's window directly around ours takes the new size; windows further out are the
// host's to manage (a window manager sizes its top-level window on request).
bool resizeNativeWindows(void* nativeWindow, std::int32_t width, std::int32_t height) {
    const auto window = static_cast<xcb_window_t>(reinterpret_cast<std::uintptr_t>(nativeWindow));
    if (window == XCB_NONE || width < 1 || height < 1 || width > 32767 || height > 32767) {
        return true;
    }
    LinuxPlatform::X11Connection* connection = LinuxPlatform::X11Connection::acquireIfOpen();
    if (!connection) {
        return true;
    }
    xcb_connection_t* c = connection->connection();
    if (auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr)) {
        const xcb_window_t parent = tree->parent;
        const xcb_window_t root = tree->root;
        std::free(tree);
        if (parent != XCB_NONE && parent != root) {
            const std::uint32_t size[] = {static_cast<std::uint32_t>(width),
                                          static_cast<std::uint32_t>(height)};
            // Checked: the host's window may be gone, which must not reach the host.
            std::free(xcb_request_check(
                c, xcb_configure_window_checked(
                       c, parent, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, size)));
        }
    }
    connection->release();
    return true;
}

// cairo and the PNG decoder need nothing per thread.
bool decodesAheadOffThread() {
    return true;
}

void enterDecodingThread() {}
void leaveDecodingThread() {}

// cairo resamples the same way into every kind of surface.
bool offscreenResamplingServesWindows() {
    return true;
}

// One desktop-wide setting on X11, whichever window asks.
double systemScaleFactor(void* /*parentWindow*/) {
    return LinuxPlatform::systemScale();
}

} // namespace Toolkit::EditorSupport

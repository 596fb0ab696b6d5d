#include "win32timer.h"

#include <algorithm>
#include <vector>

namespace Toolkit::Win32Platform {

namespace {
// Running timers. Plain: timers start, stop and fire on the editor thread only.
std::vector<Win32Timer*>& runningTimers() {
    static std::vector<Win32Timer*> timers;
    return timers;
}
} // namespace

Win32Timer::Win32Timer(IPlatformTimerCallback* timerCallback) : callback(timerCallback) {}

Win32Timer::~Win32Timer() {
    stop();
}

bool Win32Timer::start(std::uint32_t intervalMs) {
    if (!callback) {
        return false;
    }
    stop();
    id = SetTimer(nullptr, 0, intervalMs, &Win32Timer::fired);
    if (id == 0) {
        return false;
    }
    runningTimers().push_back(this);
    return true;
}

void Win32Timer::stop() {
    if (id == 0) {
        return;
    }
    KillTimer(nullptr, id);
    id = 0;
    auto& timers = runningTimers();
    timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
}

bool Win32Timer::isKindOf(const char* className) const {
    return nameIs(className, "Win32Timer") || IPlatformTimer::isKindOf(className);
}

std::size_t Win32Timer::runningCount() {
    return runningTimers().size();
}

void CALLBACK Win32Timer::fired(HWND, UINT, UINT_PTR timerId, DWORD) {
    // A WM_TIMER already queued when its timer stopped finds no timer and is dropped.
    for (Win32Timer* timer : runningTimers()) {
        if (timer->id == timerId) {
            // The callback may stop or release this timer.
            SharedGuard<Win32Timer> hold(timer);
            timer->callback->onPlatformTimer();
            return;
        }
    }
}

} // namespace Toolkit::Win32Platform

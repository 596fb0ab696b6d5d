#include "linuxtimer.h"

#include <algorithm>
#include <ctime>
#include <vector>

namespace Toolkit::LinuxPlatform {

namespace {
// Running timers of this editor thread, in start order; a timer fires on the thread that
// started it.
std::vector<LinuxTimer*>& runningTimers() {
    thread_local std::vector<LinuxTimer*> timers;
    return timers;
}
} // namespace

std::uint64_t monotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

std::uint32_t tickCount() {
    return static_cast<std::uint32_t>(monotonicMilliseconds());
}

LinuxTimer::LinuxTimer(IPlatformTimerCallback* timerCallback) : callback(timerCallback) {}

LinuxTimer::~LinuxTimer() {
    stop();
}

bool LinuxTimer::start(std::uint32_t intervalMs) {
    if (!callback) {
        return false;
    }
    interval = std::max<std::uint32_t>(intervalMs, 1);
    due = monotonicMilliseconds() + interval;
    if (!running) {
        running = true;
        runningTimers().push_back(this);
    }
    return true;
}

void LinuxTimer::stop() {
    if (!running) {
        return;
    }
    running = false;
    auto& timers = runningTimers();
    timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
}

bool LinuxTimer::isKindOf(const char* className) const {
    return nameIs(className, "LinuxTimer") || IPlatformTimer::isKindOf(className);
}

void LinuxTimer::fireDue(std::uint64_t now) {
    // Callbacks may start, stop or release any timer: work on a snapshot and keep each timer
    // alive until the pass is over.
    std::vector<LinuxTimer*> snapshot = runningTimers();
    for (LinuxTimer* timer : snapshot) {
        timer->addReference();
    }
    for (LinuxTimer* timer : snapshot) {
        if (!timer->running || timer->due > now) {
            continue;
        }
        timer->due += timer->interval;
        if (timer->due <= now) {
            timer->due = now + timer->interval;
        }
        timer->callback->onPlatformTimer();
    }
    for (LinuxTimer* timer : snapshot) {
        timer->releaseReference();
    }
}

std::size_t LinuxTimer::runningCount() {
    return runningTimers().size();
}

} // namespace Toolkit::LinuxPlatform

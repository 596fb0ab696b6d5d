// Periodic timers kept by the platform layer and fired from the event pump.
#pragma once

#include "platform/iplatformtimer.h"

#include <cstdint>

namespace Toolkit::LinuxPlatform {

// CLOCK_MONOTONIC in milliseconds: the full count, and the wrapping 32-bit tick count.
std::uint64_t monotonicMilliseconds();
std::uint32_t tickCount();

// Fires on the thread that runs the event pump, never from a signal or another thread; no
// host delivers timer events to a plug-in on Linux, so a timer only fires while the host
// gives the editor idle time.
class LinuxTimer : public IPlatformTimer {
public:
    explicit LinuxTimer(IPlatformTimerCallback* callback);
    ~LinuxTimer() override;

    // An interval of 0 is taken as 1 ms. Restarting counts the interval from now.
    bool start(std::uint32_t intervalMs) override;
    void stop() override;
    bool isRunning() const override { return running; }
    bool isKindOf(const char* className) const override;

    // Fires every running timer that is due at `now` (monotonicMilliseconds() scale) once,
    // and schedules its next firing one interval later (missed periods are not made up).
    static void fireDue(std::uint64_t now);
    // How many timers are running.
    static std::size_t runningCount();

private:
    IPlatformTimerCallback* callback;
    std::uint32_t interval = 0;
    std::uint64_t due = 0;
    bool running = false;
};

} // namespace Toolkit::LinuxPlatform

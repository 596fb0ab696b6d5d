// Periodic timers of the Windows message loop.
#pragma once

#include "platform/iplatformtimer.h"

#include <windows.h>

namespace Toolkit::Win32Platform {

// A thread timer (SetTimer without a window): WM_TIMER arrives through whatever message loop
// the host runs on the thread that started it, and one process-wide procedure finds the timer
// by its id. An interval of 0 is taken as the system's minimum.
class Win32Timer : public IPlatformTimer {
public:
    explicit Win32Timer(IPlatformTimerCallback* callback);
    ~Win32Timer() override;
    Win32Timer(const Win32Timer&) = delete;
    Win32Timer& operator=(const Win32Timer&) = delete;

    // Restarting counts the interval from now.
    bool start(std::uint32_t intervalMs) override;
    void stop() override;
    bool isRunning() const override { return id != 0; }
    bool isKindOf(const char* className) const override;

    // How many timers are running in the process.
    static std::size_t runningCount();

private:
    static void CALLBACK fired(HWND window, UINT message, UINT_PTR id, DWORD time);

    IPlatformTimerCallback* callback;
    UINT_PTR id = 0;
};

} // namespace Toolkit::Win32Platform

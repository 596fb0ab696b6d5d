#pragma once

#include "../cbaseobject.h"

#include <cstdint>

namespace Toolkit {

class IPlatformTimerCallback {
public:
    virtual void onPlatformTimer() = 0;

protected:
    ~IPlatformTimerCallback() = default;
};

// A periodic timer that fires on the user-interface thread (the thread that created it)
// until stopped. The callback is not owned and must outlive the running timer.
class IPlatformTimer : public CBaseObject {
public:
    // Starts (or restarts) firing every `intervalMs` milliseconds; false when refused.
    virtual bool start(std::uint32_t intervalMs) = 0;
    // Stops firing; no callback arrives after this returns.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};

} // namespace Toolkit

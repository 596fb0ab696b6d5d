#pragma once

#include "cbaseobject.h"
#include "platform/iplatformtimer.h"

#include <cstdint>

namespace Toolkit {

// A periodic timer on the user-interface thread: every tick sends
// handleMessage(timer, kMsgTimer) to its target (not owned).
class CToolkitTimer : public CBaseObject, private IPlatformTimerCallback {
public:
    CToolkitTimer(CBaseObject* target, std::int32_t intervalMs, bool startNow = false);
    ~CToolkitTimer() override;
    CToolkitTimer(const CToolkitTimer&) = delete;
    CToolkitTimer& operator=(const CToolkitTimer&) = delete;

    bool isKindOf(const char* className) const override;

    // True when the timer runs afterwards.
    virtual bool start();
    // True when it was running.
    virtual bool stop();
    virtual bool setInterval(std::int32_t ms);

    std::int32_t interval() const { return intervalMs; }
    bool isRunning() const { return platformTimer != nullptr; }
    // Number of timers running in the process.
    static std::size_t runningCount();

private:
    void onPlatformTimer() override;

    std::int32_t intervalMs;
    CBaseObject* target;
    IPlatformTimer* platformTimer = nullptr;
};

} // namespace Toolkit

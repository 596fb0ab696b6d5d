#include "ctoolkittimer.h"

#include "platform/iplatformfactory.h"

#include <algorithm>
#include <vector>

namespace Toolkit {

namespace {
// Every running timer of this user-interface thread (each editor thread has its own).
std::vector<CToolkitTimer*>& runningTimers() {
    thread_local std::vector<CToolkitTimer*> timers;
    return timers;
}
} // namespace

CToolkitTimer::CToolkitTimer(CBaseObject* t, std::int32_t ms, bool startNow)
    : intervalMs(ms), target(t) {
    if (startNow) {
        start();
    }
}

CToolkitTimer::~CToolkitTimer() {
    stop();
}

bool CToolkitTimer::isKindOf(const char* className) const {
    return nameIs(className, "CToolkitTimer") || CBaseObject::isKindOf(className);
}

bool CToolkitTimer::start() {
    if (platformTimer) {
        return true;
    }
    if (intervalMs <= 0) {
        return false;
    }
    IPlatformTimer* timer = getPlatformFactory().createTimer(this);
    if (!timer) {
        return false;
    }
    if (!timer->start(static_cast<std::uint32_t>(intervalMs))) {
        timer->releaseReference();
        return false;
    }
    platformTimer = timer;
    runningTimers().push_back(this);
    return true;
}

bool CToolkitTimer::stop() {
    if (!platformTimer) {
        return false;
    }
    IPlatformTimer* timer = platformTimer;
    platformTimer = nullptr;
    timer->stop();
    timer->releaseReference();
    auto& list = runningTimers();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    return true;
}

bool CToolkitTimer::setInterval(std::int32_t ms) {
    if (ms == intervalMs) {
        return false;
    }
    const bool wasRunning = stop();
    intervalMs = ms;
    return wasRunning ? start() : true;
}

std::size_t CToolkitTimer::runningCount() {
    return runningTimers().size();
}

void CToolkitTimer::onPlatformTimer() {
    // The target may stop or release the timer while it is being told.
    SharedGuard<CToolkitTimer> hold(this);
    if (platformTimer && target) {
        target->handleMessage(this, kMsgTimer);
    }
}

} // namespace Toolkit

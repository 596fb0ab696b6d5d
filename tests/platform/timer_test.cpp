// Guards against timers that fire early, fire after stop, or touch a timer freed meanwhile.

#include "linuxtimer.h"
#include "platform/iplatformfactory.h"

#include <functional>
#include <gtest/gtest.h>

using namespace Toolkit;
using namespace Toolkit::LinuxPlatform;

namespace {
struct Counter : IPlatformTimerCallback {
    int fired = 0;
    std::function<void()> action = [] {};
    void onPlatformTimer() override {
        ++fired;
        action();
    }
};
} // namespace

TEST(Timers, FireOncePerDuePassNeverEarlyAndNotAfterStop) {
    Counter counter;
    IPlatformTimer* timer = getPlatformFactory().createTimer(&counter);
    const std::uint64_t before = monotonicMilliseconds();
    ASSERT_TRUE(timer->start(10));
    const std::uint64_t after = monotonicMilliseconds();
    for (std::uint64_t now : {before + 9, after + 10, after + 10, after + 500, after + 505}) {
        LinuxTimer::fireDue(now);
    }
    EXPECT_EQ(2, counter.fired) << "at +10 and once (not 49 times) at +500";
    timer->stop();
    LinuxTimer::fireDue(after + 10000);
    EXPECT_EQ(2, counter.fired);
    timer->releaseReference();
    EXPECT_EQ(0u, LinuxTimer::runningCount());
}

TEST(Timers, CallbacksMayStopOrReleaseAnyTimer) {
    Counter first, second, third;
    IPlatformTimer* a = getPlatformFactory().createTimer(&first);
    IPlatformTimer* b = getPlatformFactory().createTimer(&second);
    IPlatformTimer* c = getPlatformFactory().createTimer(&third);
    first.action = [&] { b->stop(); };             // before b's turn
    third.action = [&] { c->releaseReference(); }; // the owner's last reference
    for (IPlatformTimer* t : {a, b, c}) {
        t->start(1);
    }
    LinuxTimer::fireDue(monotonicMilliseconds() + 100);
    EXPECT_EQ(1, first.fired);
    EXPECT_EQ(0, second.fired) << "no callback after stop() returned";
    EXPECT_EQ(1, third.fired);
    a->releaseReference(); // destroying a running timer takes it off the list
    EXPECT_EQ(0u, LinuxTimer::runningCount());
    LinuxTimer::fireDue(monotonicMilliseconds() + 200);
    b->releaseReference();
}

// Guards against timers that fire early, keep firing after stop, or touch freed timers.

#include "linuxtimer.h"
#include "platform/iplatformfactory.h"

#include <functional>
#include <gtest/gtest.h>

using namespace Toolkit;
using namespace Toolkit::LinuxPlatform;

namespace {

struct Counter : IPlatformTimerCallback {
    int fired = 0;
    std::function<void()> action;
    void onPlatformTimer() override {
        ++fired;
        if (action)
            action();
    }
};

} // namespace

TEST(Timers, FireOncePerDuePassAndNeverEarly) {
    Counter counter;
    IPlatformTimer* timer = getPlatformFactory().createTimer(&counter);
    const std::uint64_t before = monotonicMilliseconds();
    ASSERT_TRUE(timer->start(10));
    const std::uint64_t after = monotonicMilliseconds();
    LinuxTimer::fireDue(before + 9);
    EXPECT_EQ(0, counter.fired);
    LinuxTimer::fireDue(after + 10);
    EXPECT_EQ(1, counter.fired);
    LinuxTimer::fireDue(after + 10);
    EXPECT_EQ(1, counter.fired) << "the next firing is one interval later";
    LinuxTimer::fireDue(after + 500);
    EXPECT_EQ(2, counter.fired) << "missed periods are not made up";
    LinuxTimer::fireDue(after + 505);
    EXPECT_EQ(2, counter.fired);

    timer->stop();
    EXPECT_FALSE(timer->isRunning());
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
    // a stops b before b's turn; c releases itself (its owner's last reference) while firing.
    first.action = [&] { b->stop(); };
    third.action = [&] {
        c->releaseReference();
        c = nullptr;
    };
    a->start(1);
    b->start(1);
    c->start(1);
    LinuxTimer::fireDue(monotonicMilliseconds() + 100);
    EXPECT_EQ(1, first.fired);
    EXPECT_EQ(0, second.fired) << "no callback after stop() returned";
    EXPECT_EQ(1, third.fired);
    EXPECT_EQ(nullptr, c);
    EXPECT_EQ(1u, LinuxTimer::runningCount());

    // Destroying a running timer takes it off the list.
    a->releaseReference();
    LinuxTimer::fireDue(monotonicMilliseconds() + 200);
    EXPECT_EQ(1, first.fired);
    EXPECT_EQ(0u, LinuxTimer::runningCount());
    b->releaseReference();
}

TEST(Timers, WithoutCallbackNothingStarts) {
    IPlatformTimer* timer = getPlatformFactory().createTimer(nullptr);
    EXPECT_FALSE(timer->start(5));
    EXPECT_FALSE(timer->isRunning());
    timer->releaseReference();
}

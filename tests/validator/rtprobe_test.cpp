// Guards against the real-time probe missing what it exists to see: heap calls, lock
// operations and system calls made inside a process call, or counting those made outside.
#include "tools/validator/rtprobe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <thread>

#include <sys/syscall.h>
#include <unistd.h>

using namespace gravelix::validator;

namespace {

void* volatile sink;

TEST(RtProbe, CountsHeapCallsOnlyInside) {
    const RtCounts base = RtProbe::totals();
    sink = std::malloc(100);
    std::free(sink);
    EXPECT_EQ((RtProbe::totals() - base).allocations, 0u);
    RtProbe::enter();
    sink = std::malloc(100);
    std::free(sink);
    auto* p = new int[4];
    sink = p;
    delete[] p;
    RtProbe::leave();
    EXPECT_GE((RtProbe::totals() - base).allocations, 4u);
}

TEST(RtProbe, CountsLockOperationsInside) {
    if (!RtProbe::locksVisible()) {
        GTEST_SKIP() << "locks not visible in this build";
    }
    std::mutex m;
    const RtCounts base = RtProbe::totals();
    RtProbe::enter();
    m.lock();
    m.unlock();
    RtProbe::leave();
    EXPECT_EQ((RtProbe::totals() - base).locks, 1u);
}

TEST(RtProbe, SyscallTrapCountsAndStillExecutesCalls) {
    const long expected = syscall(SYS_getppid);
    std::string why;
    bool armed = false;
    long seen = 0;
    RtCounts used;
    std::thread t([&] {
        armed = RtProbe::armSyscallTrap(&why);
        const RtCounts base = RtProbe::totals();
        seen = syscall(SYS_getppid); // outside: executed, not counted
        RtProbe::enter();
        seen = syscall(SYS_getppid);
        RtProbe::leave();
        used = RtProbe::totals() - base;
    });
    t.join();
    if (!armed) {
        GTEST_SKIP() << why;
    }
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(used.syscalls, 1u);
}

} // namespace

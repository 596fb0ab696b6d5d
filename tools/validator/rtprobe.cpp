#include "rtprobe.h"

#include <atomic>

namespace gravelix::validator {
namespace {

// Executable-local TLS: initial access allocates nothing, so malloc may read it.
thread_local bool t_inside = false;

std::atomic<std::uint64_t> g_allocations{0};
std::atomic<std::uint64_t> g_locks{0};
std::atomic<std::uint64_t> g_syscalls{0};
std::atomic<std::uint64_t> g_hostCalls{0};
std::atomic<int> g_firstSyscall{-1};

} // namespace

void RtProbe::enter() {
    t_inside = true;
}
void RtProbe::leave() {
    t_inside = false;
}
bool RtProbe::inside() {
    return t_inside;
}

RtCounts RtProbe::totals() {
    RtCounts c;
    c.allocations = g_allocations.load();
    c.locks = g_locks.load();
    c.syscalls = g_syscalls.load();
    c.hostCalls = g_hostCalls.load();
    c.firstSyscall = g_firstSyscall.load();
    return c;
}

void RtProbe::noteHostCall() {
    if (t_inside) {
        g_hostCalls.fetch_add(1, std::memory_order_relaxed);
    }
}

void RtProbe::countAllocation() {
    if (t_inside) {
        g_allocations.fetch_add(1, std::memory_order_relaxed);
    }
}

void RtProbe::countLock() {
    if (t_inside) {
        g_locks.fetch_add(1, std::memory_order_relaxed);
    }
}

void RtProbe::countSyscall(int number) {
    if (t_inside) {
        g_syscalls.fetch_add(1, std::memory_order_relaxed);
        int none = -1;
        g_firstSyscall.compare_exchange_strong(none, number);
    }
}

} // namespace gravelix::validator

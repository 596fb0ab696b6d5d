// Windows: no interposition of the C library or system-call trap here, so only host calls
// made from inside a process call are counted; the other checks skip with their reason.
#include "rtprobe.h"

#include <atomic>
#include <sstream>

namespace gravelix::validator {
namespace {

thread_local bool t_inside = false;

std::atomic<std::uint64_t> g_allocations{0};
std::atomic<std::uint64_t> g_locks{0};
std::atomic<std::uint64_t> g_syscalls{0};
std::atomic<std::uint64_t> g_hostCalls{0};
std::atomic<int> g_firstSyscall{-1};

} // namespace

RtCounts RtCounts::operator-(const RtCounts& base) const {
    RtCounts d;
    d.allocations = allocations - base.allocations;
    d.locks = locks - base.locks;
    d.syscalls = syscalls - base.syscalls;
    d.hostCalls = hostCalls - base.hostCalls;
    d.firstSyscall = firstSyscall;
    return d;
}

std::string RtCounts::describe() const {
    std::ostringstream s;
    const char* sep = "";
    if (allocations != 0) {
        s << sep << allocations << " heap call(s)";
        sep = ", ";
    }
    if (locks != 0) {
        s << sep << locks << " lock operation(s)";
        sep = ", ";
    }
    if (syscalls != 0) {
        s << sep << syscalls << " system call(s)";
        if (firstSyscall >= 0) {
            s << " (first: #" << firstSyscall << ")";
        }
        sep = ", ";
    }
    if (hostCalls != 0) {
        s << sep << hostCalls << " host call(s)";
    }
    return s.str();
}

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

bool RtProbe::allocationsVisible() {
    return false;
}
bool RtProbe::locksVisible() {
    return false;
}

bool RtProbe::armSyscallTrap(std::string* why) {
    if (why) {
        *why = "Windows has no per-thread system-call trap";
    }
    return false;
}

} // namespace gravelix::validator

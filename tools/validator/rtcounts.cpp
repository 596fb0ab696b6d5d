#include "rtcounts.h"

#include <sstream>

namespace gravelix::validator {

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

} // namespace gravelix::validator

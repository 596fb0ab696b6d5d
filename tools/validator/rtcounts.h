// What a thread did inside a plug-in's process call, as counted by RtProbe on either platform.
#pragma once

#include <cstdint>
#include <string>

namespace gravelix::validator {

struct RtCounts {
    std::uint64_t allocations = 0; // malloc, calloc, realloc, aligned allocations and frees
    std::uint64_t locks = 0;       // mutex, rwlock, spin, semaphore and condition operations
    std::uint64_t syscalls = 0;    // only while a syscall trap is armed on the thread
    std::uint64_t hostCalls = 0;   // host callback entries
    int firstSyscall = -1;         // number of the first syscall seen, for the report

    RtCounts operator-(const RtCounts& base) const;
    bool clean() const { return allocations == 0 && locks == 0 && syscalls == 0 && hostCalls == 0; }
    std::string describe() const;
};

} // namespace gravelix::validator

// Watches what a thread does while it is inside a plug-in's process call: heap
// allocations, lock operations, system calls and calls back into the host.
#pragma once

#include "rtcounts.h"

#include <string>

namespace gravelix::validator {

class RtProbe {
public:
    // Brackets one process call on the calling thread; not nestable.
    static void enter();
    static void leave();
    static bool inside();

    // Totals since the process started, over all threads.
    static RtCounts totals();

    // Called by the host callback so that calls made from inside process are counted.
    static void noteHostCall();

    // Whether allocations and lock operations can be seen in this build (a sanitizer
    // runtime owns malloc; lock interposition is then left out).
    static bool allocationsVisible();
    static bool locksVisible();

    // Also watches the program's own heap calls where that takes a step of its own (Windows:
    // its import table), so a host's answers inside a process call are seen as a plug-in's are.
    static void watchProgram();

    // Arms a trap that sees every system call of the calling thread from now until the
    // thread ends; calls are executed as usual and counted while inside(). Only for a
    // dedicated thread: the trap cannot be removed. Answers false (with a reason) where
    // the kernel or the build does not allow it.
    static bool armSyscallTrap(std::string* why);

    // What the platform's watchers report; each counts only on a thread inside a process
    // call. Safe in allocators and signal handlers: they neither allocate nor lock.
    static void countAllocation();
    static void countLock();
    static void countSyscall(int number);
};

} // namespace gravelix::validator

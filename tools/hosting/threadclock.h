// CPU time of the calling thread, in seconds: what a plug-in's work costs, whatever else the
// machine runs. Used to time entry points and processing.
#pragma once

#include <ctime>

namespace gravelix::host {

inline double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

} // namespace gravelix::host

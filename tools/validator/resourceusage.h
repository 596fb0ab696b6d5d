// What a process holds that a leaking editor makes grow: files, threads, heap and window-system
// resources (X server resources of every client on Linux, GDI and USER objects on Windows).
#pragma once

#include "tools/hosting/hostwindow.h"

#include <string>

namespace gravelix::validator {

struct ResourceUsage {
    long files = -1; // open descriptors or handles; -1 when unknown
    long threads = -1;
    long long heapBytes = -1;
    long long windowSystem = -1;
    // Heap growth that is allocator noise rather than a leak, where it is measured.
    long long heapNoise = 0;
};

// Measured through the host window's connection.
ResourceUsage measureResources(host::HostWindow& window);

// What grew from before to after beyond the noise a sound plug-in makes; empty when nothing.
std::string growth(const ResourceUsage& before, const ResourceUsage& after);
// One line, e.g. "12 files, 3 threads, 1.2 MB heap, 80 window-system resources".
std::string describe(const ResourceUsage& usage);

} // namespace gravelix::validator

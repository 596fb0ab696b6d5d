#include "resourceusage.h"

#include <sstream>

namespace gravelix::validator {

namespace {

void compare(std::ostringstream& out, const char* what, long long before, long long after,
             long long noise) {
    if (before < 0 || after < 0 || after - before <= noise) {
        return;
    }
    out << (out.tellp() > 0 ? ", " : "") << what << " grew from " << before << " to " << after;
}

} // namespace

std::string growth(const ResourceUsage& before, const ResourceUsage& after) {
    std::ostringstream out;
    compare(out, "open files", before.files, after.files, 0);
    compare(out, "threads", before.threads, after.threads, 0);
    compare(out, "window-system resources", before.windowSystem, after.windowSystem, 0);
    compare(out, "heap bytes", before.heapBytes, after.heapBytes, after.heapNoise);
    return out.str();
}

std::string describe(const ResourceUsage& u) {
    std::ostringstream out;
    out << u.files << " files, " << u.threads << " threads, " << u.heapBytes / 1024 << " KiB heap, "
        << u.windowSystem << " window-system resources";
    return out.str();
}

} // namespace gravelix::validator

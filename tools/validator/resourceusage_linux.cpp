#include "resourceusage.h"

#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

#include <dirent.h>
#include <malloc.h>

namespace gravelix::validator {

namespace {

long entries(const char* directory) {
    DIR* dir = opendir(directory);
    if (dir == nullptr) {
        return -1;
    }
    long count = 0;
    while (const dirent* entry = readdir(dir)) {
        count += entry->d_name[0] != '.';
    }
    closedir(dir);
    return count;
}

// A client may leave between the list of clients and the question about its resources (an
// editor's connection that has just closed): it then has none, and Xlib's default handler must
// not end the process over it. Only the resource queries run while this handler is in place.
int ignoreLeftClient(Display*, XErrorEvent*) {
    return 0;
}

// Every resource of every client: an editor's own connection and what it made are counted
// while they exist, and the whole of them is gone once it closes.
long long serverResources(Display* d) {
    int event = 0, error = 0;
    if (d == nullptr || !XResQueryExtension(d, &event, &error)) {
        return -1;
    }
    int numClients = 0;
    XResClient* clients = nullptr;
    if (!XResQueryClients(d, &numClients, &clients)) {
        return -1;
    }
    long long total = numClients;
    XSync(d, False);
    const auto previous = XSetErrorHandler(ignoreLeftClient);
    for (int i = 0; i < numClients; ++i) {
        int numTypes = 0;
        XResType* types = nullptr;
        if (XResQueryClientResources(d, clients[i].resource_base, &numTypes, &types)) {
            for (int t = 0; t < numTypes; ++t) {
                total += types[t].count;
            }
            XFree(types);
        }
    }
    XSync(d, False);
    XSetErrorHandler(previous);
    XFree(clients);
    return total;
}

} // namespace

ResourceUsage measureResources(host::HostWindow& window) {
    window.sync();
    ResourceUsage u;
    u.files = entries("/proc/self/fd") - 1; // less the one reading it
    u.threads = entries("/proc/self/task");
    const struct mallinfo2 heap = mallinfo2();
    u.heapBytes = static_cast<long long>(heap.uordblks + heap.hblkhd);
    u.windowSystem = serverResources(window.display()->x());
    u.heapNoise = 100 * 1024;
    return u;
}

} // namespace gravelix::validator

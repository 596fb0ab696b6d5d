#include "resourceusage.h"

#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

namespace gravelix::validator {

namespace {

long threadsOfThisProcess() {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return -1;
    }
    long count = 0;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    }
    CloseHandle(snapshot);
    return count;
}

} // namespace

ResourceUsage measureResources(host::HostWindow& window) {
    window.sync();
    ResourceUsage u;
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles)) {
        u.files = static_cast<long>(handles);
    }
    u.threads = threadsOfThisProcess();
    PROCESS_MEMORY_COUNTERS_EX memory{};
    if (GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
        u.heapBytes = static_cast<long long>(memory.PrivateUsage);
        u.heapNoise = 1024 * 1024; // whole pages, committed in steps
    }
    u.windowSystem = static_cast<long long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) +
                     GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    return u;
}

} // namespace gravelix::validator

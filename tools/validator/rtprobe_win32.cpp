// Windows: no symbol interposition, so heap calls are watched through the import tables of the
// plug-in libraries: every library loaded from outside the Windows folder after start-up has
// its imports of the C runtime's heap functions pointed at counting wrappers. Locks stay
// invisible (an uncontended mutex of a statically linked thread library never reaches an
// import), and so do system calls (no per-thread trap): those checks skip.
#include "rtprobe.h"

#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <cwchar>

namespace gravelix::validator {
namespace {

// Set on a thread while it counts: the count reads thread-local state, whose first use on a
// thread allocates through the program's own imports when those are watched too. A Win32 TLS
// slot, which never allocates, breaks that circle.
const DWORD countingSlot = TlsAlloc();

void count() {
    if (countingSlot == TLS_OUT_OF_INDEXES || TlsGetValue(countingSlot) != nullptr) {
        return;
    }
    TlsSetValue(countingSlot, reinterpret_cast<void*>(1));
    RtProbe::countAllocation();
    TlsSetValue(countingSlot, nullptr);
}

// One counting wrapper per watched import; `real_NAME` is what the import table held.
#define GRAVELIX_HEAP_HOOK(ret, name, params, args)                                                \
    ret(__cdecl* real_##name) params = nullptr;                                                    \
    ret __cdecl hook_##name params {                                                               \
        count();                                                                                   \
        return real_##name args;                                                                   \
    }
GRAVELIX_HEAP_HOOK(void*, malloc, (size_t n), (n))
GRAVELIX_HEAP_HOOK(void*, calloc, (size_t n, size_t size), (n, size))
GRAVELIX_HEAP_HOOK(void*, realloc, (void* p, size_t n), (p, n))
GRAVELIX_HEAP_HOOK(void, free, (void* p), (p))
GRAVELIX_HEAP_HOOK(void*, _aligned_malloc, (size_t n, size_t alignment), (n, alignment))
GRAVELIX_HEAP_HOOK(void*, _aligned_realloc, (void* p, size_t n, size_t alignment),
                   (p, n, alignment))
GRAVELIX_HEAP_HOOK(void, _aligned_free, (void* p), (p))
GRAVELIX_HEAP_HOOK(char*, _strdup, (const char* text), (text))

struct Hook {
    const char* name;
    void* replacement;
    void** real;
};

#define GRAVELIX_HOOK(name)                                                                        \
    Hook {                                                                                         \
#name, reinterpret_cast < void*>(&hook_##name), reinterpret_cast < void**>(&real_##name)   \
    }

const Hook heapHooks[] = {GRAVELIX_HOOK(malloc),          GRAVELIX_HOOK(calloc),
                          GRAVELIX_HOOK(realloc),         GRAVELIX_HOOK(free),
                          GRAVELIX_HOOK(_aligned_malloc), GRAVELIX_HOOK(_aligned_realloc),
                          GRAVELIX_HOOK(_aligned_free),   GRAVELIX_HOOK(_strdup)};
const Hook* findHook(const char* name) {
    for (const Hook& h : heapHooks) {
        if (std::strcmp(h.name, name) == 0) {
            return &h;
        }
    }
    return nullptr;
}

// Points the module's imports of the heap functions at the wrappers. Runs under the loader
// lock, before the module's own code: nothing here loads libraries or allocates.
void patchImports(HMODULE module) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) {
        return;
    }
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) {
        return;
    }
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         d->Name != 0; ++d) {
        const char* dll = reinterpret_cast<const char*>(base + d->Name);
        if (_stricmp(dll, "msvcrt.dll") != 0 || d->OriginalFirstThunk == 0) {
            continue;
        }
        const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            const char* name = reinterpret_cast<const char*>(byName->Name);
            const Hook* hook = findHook(name);
            if (hook == nullptr) {
                continue;
            }
            void** slot = reinterpret_cast<void**>(&slots->u1.Function);
            if (*slot == hook->replacement) {
                continue;
            }
            DWORD protection = 0;
            if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection)) {
                continue;
            }
            if (*hook->real == nullptr) {
                *hook->real = *slot;
            }
            *slot = hook->replacement;
            VirtualProtect(slot, sizeof(void*), protection, &protection);
        }
    }
}

// The loader's notification of a newly mapped library (ntdll, not in the SDK headers).
struct DllLoadedData {
    ULONG flags;
    const UNICODE_STRING* fullName;
    const UNICODE_STRING* baseName;
    void* base;
    ULONG size;
};
using DllNotification = void(CALLBACK*)(ULONG reason, const DllLoadedData* data, void* context);
using RegisterDllNotification = LONG(NTAPI*)(ULONG flags, DllNotification callback, void* context,
                                             void** cookie);

wchar_t windowsFolder[MAX_PATH];
std::size_t windowsFolderLength = 0;

void CALLBACK onDllLoaded(ULONG reason, const DllLoadedData* data, void* /*context*/) {
    constexpr ULONG loaded = 1;
    if (reason != loaded || data == nullptr || data->fullName == nullptr) {
        return;
    }
    // The system's own libraries keep their imports: only plug-ins are watched.
    const std::size_t length = data->fullName->Length / sizeof(wchar_t);
    if (windowsFolderLength != 0 && length >= windowsFolderLength &&
        _wcsnicmp(data->fullName->Buffer, windowsFolder, windowsFolderLength) == 0) {
        return;
    }
    patchImports(static_cast<HMODULE>(data->base));
}

// Registered before main() runs, so every plug-in loaded later is watched.
const bool watching = [] {
    const UINT n = GetSystemWindowsDirectoryW(windowsFolder, MAX_PATH);
    windowsFolderLength = n > 0 && n < MAX_PATH ? n : 0;
    const auto registerNotification =
        reinterpret_cast<RegisterDllNotification>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "LdrRegisterDllNotification")));
    void* cookie = nullptr;
    return registerNotification != nullptr &&
           registerNotification(0, &onDllLoaded, nullptr, &cookie) == 0;
}();

} // namespace

bool RtProbe::allocationsVisible() {
    return watching;
}
bool RtProbe::locksVisible() {
    return false;
}

void RtProbe::watchProgram() {
    patchImports(GetModuleHandleW(nullptr));
}

bool RtProbe::armSyscallTrap(std::string* why) {
    if (why) {
        *why = "Windows has no per-thread system-call trap";
    }
    return false;
}

} // namespace gravelix::validator

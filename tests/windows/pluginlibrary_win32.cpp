#include "pluginlibrary.h"

#include <windows.h>

PluginLibrary::PluginLibrary(const std::string& path) {
    handle = LoadLibraryA(path.c_str());
    if (!handle) {
        why = "LoadLibrary failed with error " + std::to_string(GetLastError());
    }
}

PluginLibrary::~PluginLibrary() {
    if (handle) {
        FreeLibrary(static_cast<HMODULE>(handle));
    }
}

PluginLibrary::EntryPoint PluginLibrary::entry(const char* name) const {
    if (!handle) {
        return nullptr;
    }
    // GetProcAddress answers a generic function pointer; the cast goes through void* as the
    // two pointer types do not convert into each other directly.
    FARPROC function = GetProcAddress(static_cast<HMODULE>(handle), name);
    return reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(function));
}

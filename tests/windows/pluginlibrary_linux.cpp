#include "pluginlibrary.h"

#include <dlfcn.h>

PluginLibrary::PluginLibrary(const std::string& path) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        why = dlerror();
    }
}

PluginLibrary::~PluginLibrary() {
    if (handle) {
        dlclose(handle);
    }
}

PluginLibrary::EntryPoint PluginLibrary::entry(const char* name) const {
    return handle ? reinterpret_cast<EntryPoint>(dlsym(handle, name)) : nullptr;
}

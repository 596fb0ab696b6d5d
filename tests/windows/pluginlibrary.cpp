#include "pluginlibrary.h"

#include "tools/hosting/sharedlibrary.h"

PluginLibrary::PluginLibrary(const std::string& path) {
    handle = gravelix::host::openSharedLibrary(path, why);
}

PluginLibrary::~PluginLibrary() {
    gravelix::host::closeSharedLibrary(handle);
}

PluginLibrary::EntryPoint PluginLibrary::entry(const char* name) const {
    return reinterpret_cast<EntryPoint>(gravelix::host::sharedLibrarySymbol(handle, name));
}

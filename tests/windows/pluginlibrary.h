// Loads a plug-in library as gravelix-host does, through the hosting library's loader.
#pragma once

#include "aeffect.h"

#include <string>

class PluginLibrary {
public:
    using EntryPoint = AEffect* (*)(audioMasterCallback);

    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    bool loaded() const { return handle != nullptr; }
    // Why loading failed, for test messages.
    const std::string& error() const { return why; }
    // The exported function of that name; null when there is none.
    EntryPoint entry(const char* name) const;
    // The platform's module handle (Windows: the HMODULE).
    void* nativeHandle() const { return handle; }

private:
    void* handle = nullptr;
    std::string why;
};

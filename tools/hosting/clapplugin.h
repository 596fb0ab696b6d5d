// A .clap file opened: its entry initialised once per process however many instances of its
// plug-ins are open (entries keep global state, and init/deinit must pair), and the plug-ins
// its factory offers.
#pragma once

#include "clapdescriptor.h"

#include <clap/entry.h>
#include <clap/plugin-factory.h>

#include <string>
#include <vector>

namespace gravelix::host {

class ClapPlugin {
public:
    // Throws LoadError (pluginhost.h) when the file is no CLAP plug-in or offers none.
    explicit ClapPlugin(const std::string& path);
    ~ClapPlugin();
    ClapPlugin(const ClapPlugin&) = delete;
    ClapPlugin& operator=(const ClapPlugin&) = delete;

    const std::string& path() const { return path_; }
    const std::vector<ClapDescriptor>& plugins() const { return plugins_; }
    // Index in plugins() of `id`, the first for an empty id; throws LoadError when absent.
    std::size_t find(const std::string& id) const;
    const clap_plugin_factory_t* pluginFactory() const { return factory_; }
    // A factory of the entry by id (presets and others), or null.
    const void* factory(const char* id) const;
    // Seconds dlopen took, and the entry's init with the factory's listing.
    double librarySeconds() const { return librarySeconds_; }
    double entrySeconds() const { return entrySeconds_; }

private:
    void release() noexcept;

    std::string path_;
    void* library_ = nullptr;
    const clap_plugin_entry_t* entry_ = nullptr;
    bool initialised_ = false;
    const clap_plugin_factory_t* factory_ = nullptr;
    std::vector<ClapDescriptor> plugins_;
    double librarySeconds_ = 0.0;
    double entrySeconds_ = 0.0;
};

} // namespace gravelix::host

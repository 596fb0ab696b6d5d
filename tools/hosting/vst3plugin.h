// A VST3 module opened: a bundle folder, a single-file .vst3 or the binary inside a bundle; its
// entry called once per process however many instances are open (modules keep global state, and
// entry and exit must pair), its factory and the audio classes it offers.
#pragma once

#include "vst3classinfo.h"

#include <pluginterfaces/base/ipluginbase.h>

#include <string>
#include <vector>

namespace gravelix::host {

class Vst3Plugin {
public:
    // Throws LoadError (pluginhost.h) when the path holds no VST3 module or it offers no
    // audio class.
    explicit Vst3Plugin(const std::string& path);
    ~Vst3Plugin();
    Vst3Plugin(const Vst3Plugin&) = delete;
    Vst3Plugin& operator=(const Vst3Plugin&) = delete;

    const std::string& path() const { return path_; }
    const std::string& binary() const { return binary_; }
    const std::vector<Vst3ClassInfo>& plugins() const { return plugins_; }
    // Index in plugins() of the class named by id (its hexadecimal class id or its name), the
    // first for an empty id; throws LoadError when absent.
    std::size_t find(const std::string& id) const;
    Steinberg::IPluginFactory* factory() const { return factory_; }
    // The factory's vendor.
    const std::string& vendor() const { return vendor_; }
    double librarySeconds() const { return librarySeconds_; }
    double entrySeconds() const { return entrySeconds_; }

private:
    void release() noexcept;

    std::string path_;
    std::string binary_;
    void* library_ = nullptr;
    bool entered_ = false;
    Steinberg::IPluginFactory* factory_ = nullptr;
    std::vector<Vst3ClassInfo> plugins_;
    std::string vendor_;
    double librarySeconds_ = 0.0;
    double entrySeconds_ = 0.0;
};

// The 16 bytes of a class id as 32 hexadecimal digits, and back (false for anything else).
std::string vst3CidText(const char* tuid);
bool vst3ParseCid(const std::string& text, char* tuid);

} // namespace gravelix::host

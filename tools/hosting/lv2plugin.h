// An LV2 plug-in found through lilv: by its bundle folder (only that bundle and the LV2
// specifications are read, so a bundle in a build folder is never confused with an installed
// copy of the same URIs) or by its URI (every bundle on LV2_PATH, or LV2's default path).
// Worlds are shared between instances of one scope and freed with the last of them.
#pragma once

#include "lv2descriptor.h"

#include <lilv/lilv.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace gravelix::host {

class Lv2Plugin {
public:
    // `where` is a bundle folder or a plug-in URI; `pluginUri` picks one plug-in of a bundle
    // (its first by URI when empty). Throws LoadError (pluginhost.h).
    Lv2Plugin(const std::string& where, const std::string& pluginUri);
    ~Lv2Plugin();
    Lv2Plugin(const Lv2Plugin&) = delete;
    Lv2Plugin& operator=(const Lv2Plugin&) = delete;

    // A folder ending in ".lv2" or holding a manifest.ttl.
    static bool isBundle(const std::string& path);
    // "scheme:rest" with a scheme of two or more letters (one letter is a Windows drive).
    static bool isUri(const std::string& text);

    LilvWorld* world() const;
    const LilvPlugin* plugin() const { return plugin_; }
    // lilv's world is not thread-safe: hold this around every call that reads or loads data.
    std::mutex& worldMutex() const;
    const std::vector<Lv2Descriptor>& plugins() const { return plugins_; }
    std::size_t chosen() const { return chosen_; }
    const Lv2Descriptor& descriptor() const { return plugins_[chosen_]; }
    // Seconds reading the data took (0 when an instance before had read it already).
    double worldSeconds() const { return worldSeconds_; }

    // A node for a URI, freed with this object.
    const LilvNode* uri(const char* text);

    // lilv's world with its lock, shared by the instances of one scope.
    struct World;

private:
    std::shared_ptr<World> world_;
    const LilvPlugin* plugin_ = nullptr;
    std::vector<Lv2Descriptor> plugins_;
    std::size_t chosen_ = 0;
    double worldSeconds_ = 0.0;
    std::vector<LilvNode*> nodes_;
};

} // namespace gravelix::host

// The URID map and unmap a host offers every LV2 plug-in and UI of the process: one table, so
// that an id means the same URI to a plug-in, its UI and the host's state and presets.
#pragma once

#include <lv2/urid/urid.h>

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace gravelix::host {

class Lv2UriMap {
public:
    static Lv2UriMap& instance();

    // Never 0 for a URI; ids are stable for the life of the process. Locks: not for the audio
    // thread, which plug-ins may only map from at instantiation anyway.
    LV2_URID map(const char* uri);
    // Null for an unknown id.
    const char* unmap(LV2_URID id);

    LV2_URID_Map* mapFeature() { return &map_; }
    LV2_URID_Unmap* unmapFeature() { return &unmap_; }

private:
    Lv2UriMap();

    std::mutex mutex_;
    // A deque keeps each string where it is, so unmapped pointers stay valid as it grows.
    std::deque<std::string> uris_;
    std::unordered_map<std::string, LV2_URID> ids_;
    LV2_URID_Map map_{};
    LV2_URID_Unmap unmap_{};
};

} // namespace gravelix::host

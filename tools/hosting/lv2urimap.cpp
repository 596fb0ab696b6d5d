#include "lv2urimap.h"

namespace gravelix::host {

Lv2UriMap& Lv2UriMap::instance() {
    static Lv2UriMap map;
    return map;
}

Lv2UriMap::Lv2UriMap() {
    map_.handle = this;
    map_.map = [](LV2_URID_Map_Handle h, const char* uri) {
        return static_cast<Lv2UriMap*>(h)->map(uri);
    };
    unmap_.handle = this;
    unmap_.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID id) {
        return static_cast<Lv2UriMap*>(h)->unmap(id);
    };
}

LV2_URID Lv2UriMap::map(const char* uri) {
    if (!uri) {
        return 0;
    }
    std::lock_guard lock(mutex_);
    const auto [it, added] = ids_.try_emplace(uri, static_cast<LV2_URID>(uris_.size() + 1));
    if (added) {
        uris_.emplace_back(uri);
    }
    return it->second;
}

const char* Lv2UriMap::unmap(LV2_URID id) {
    std::lock_guard lock(mutex_);
    return id > 0 && id <= uris_.size() ? uris_[id - 1].c_str() : nullptr;
}

} // namespace gravelix::host

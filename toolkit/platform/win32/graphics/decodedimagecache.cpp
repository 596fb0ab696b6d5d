#include "decodedimagecache.h"

namespace Toolkit::Win32Platform {

std::shared_ptr<const void> DecodedImageCache::find(std::int32_t id) {
    std::lock_guard lock(mutex);
    auto found = byId.find(id);
    return found != byId.end() ? found->second.lock() : nullptr;
}

void DecodedImageCache::remember(std::int32_t id, const std::shared_ptr<const void>& image) {
    std::lock_guard lock(mutex);
    byId[id] = image;
}

std::size_t DecodedImageCache::aliveCount() {
    std::lock_guard lock(mutex);
    std::size_t alive = 0;
    for (const auto& entry : byId) {
        alive += entry.second.expired() ? 0 : 1;
    }
    return alive;
}

} // namespace Toolkit::Win32Platform

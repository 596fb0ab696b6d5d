#include "d2dbitmapcache.h"

#include "d2dbitmap.h"

#include <map>
#include <mutex>
#include <utility>

namespace Toolkit::Win32Platform {

namespace {
using Key = std::pair<const D2DBitmap*, const ID2D1RenderTarget*>;

// Editors of several plug-in instances may draw on different threads.
std::mutex mutex;
std::size_t uploadCount = 0;

std::map<Key, ComPtr<ID2D1Bitmap>>& entries() {
    static auto* map = new std::map<Key, ComPtr<ID2D1Bitmap>>; // outlives static destruction
    return *map;
}

template <class Predicate> void dropIf(Predicate matches) {
    std::lock_guard lock(mutex);
    auto& map = entries();
    for (auto it = map.begin(); it != map.end();) {
        it = matches(it->first) ? map.erase(it) : std::next(it);
    }
}
} // namespace

ID2D1Bitmap* D2DBitmapCache::get(const D2DBitmap* bitmap, ID2D1RenderTarget* target) {
    if (!bitmap || !target || !bitmap->source()) {
        return nullptr;
    }
    std::lock_guard lock(mutex);
    auto& slot = entries()[Key(bitmap, target)];
    if (!slot) {
        if (FAILED(target->CreateBitmapFromWicBitmap(bitmap->source(), nullptr,
                                                     slot.GetAddressOf()))) {
            entries().erase(Key(bitmap, target));
            return nullptr;
        }
        ++uploadCount;
    }
    return slot.Get();
}

void D2DBitmapCache::forgetBitmap(const D2DBitmap* bitmap) {
    dropIf([bitmap](const Key& key) { return key.first == bitmap; });
}

void D2DBitmapCache::forgetTarget(const ID2D1RenderTarget* target) {
    dropIf([target](const Key& key) { return key.second == target; });
}

std::size_t D2DBitmapCache::size() {
    std::lock_guard lock(mutex);
    return entries().size();
}

std::size_t D2DBitmapCache::uploads() {
    std::lock_guard lock(mutex);
    return uploadCount;
}

} // namespace Toolkit::Win32Platform

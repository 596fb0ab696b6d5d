#include "d2dbitmapcache.h"

#include "d2dbitmap.h"

#include <array>
#include <map>
#include <mutex>
#include <utility>

namespace Toolkit::Win32Platform {

namespace {
using Key = std::pair<const D2DBitmap*, const ID2D1RenderTarget*>;

// Editors of several plug-in instances may draw on different threads.
std::mutex mutex;
std::size_t uploadCount = 0;

using Area = std::array<UINT32, 4>;

struct Entry {
    ComPtr<ID2D1Bitmap> whole;
    std::map<Area, ComPtr<ID2D1Bitmap>> windows;
};

std::map<Key, Entry>& entries() {
    static auto* map = new std::map<Key, Entry>; // outlives static destruction
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
    auto& slot = entries()[Key(bitmap, target)].whole;
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

ID2D1Bitmap* D2DBitmapCache::window(const D2DBitmap* bitmap, ID2D1RenderTarget* target,
                                    const D2D1_RECT_U& area) {
    ID2D1Bitmap* whole = get(bitmap, target);
    if (!whole || area.right <= area.left || area.bottom <= area.top) {
        return nullptr;
    }
    const D2D1_SIZE_U full = whole->GetPixelSize();
    if (area.right > full.width || area.bottom > full.height) {
        return nullptr;
    }
    std::lock_guard lock(mutex);
    auto found = entries().find(Key(bitmap, target));
    if (found == entries().end()) {
        return nullptr;
    }
    auto& windows = found->second.windows;
    const Area at{area.left, area.top, area.right, area.bottom};
    if (auto kept = windows.find(at); kept != windows.end()) {
        return kept->second.Get();
    }
    if (windows.size() >= kWindowsKept) {
        windows.clear();
    }
    D2D1_BITMAP_PROPERTIES properties{};
    properties.pixelFormat = {DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED};
    properties.dpiX = 96.0f;
    properties.dpiY = 96.0f;
    const D2D1_SIZE_U size = {area.right - area.left, area.bottom - area.top};
    const D2D1_POINT_2U origin = {0, 0};
    ComPtr<ID2D1Bitmap> made;
    if (FAILED(target->CreateBitmap(size, nullptr, 0, &properties, made.GetAddressOf())) ||
        FAILED(made->CopyFromBitmap(&origin, whole, &area))) {
        return nullptr;
    }
    return (windows[at] = made).Get();
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

std::size_t D2DBitmapCache::windows() {
    std::lock_guard lock(mutex);
    std::size_t count = 0;
    for (const auto& [key, entry] : entries()) {
        count += entry.windows.size();
    }
    return count;
}

std::size_t D2DBitmapCache::uploads() {
    std::lock_guard lock(mutex);
    return uploadCount;
}

} // namespace Toolkit::Win32Platform

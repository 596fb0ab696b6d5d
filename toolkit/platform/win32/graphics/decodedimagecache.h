// Decoded resource images shared by the bitmaps of one back-end, so that a resource is
// decoded once however many bitmaps show it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace Toolkit::Win32Platform {

// Thread-safe. Holds no image alive: an entry lasts while some bitmap keeps its image. The
// images are type-erased; each back-end casts back to its own.
class DecodedImageCache {
public:
    // The image decoded for resource `id` if a bitmap still holds it, else null.
    std::shared_ptr<const void> find(std::int32_t id);
    void remember(std::int32_t id, const std::shared_ptr<const void>& image);
    // Entries whose image is still held.
    std::size_t aliveCount();

private:
    std::mutex mutex;
    std::map<std::int32_t, std::weak_ptr<const void>> byId;
};

} // namespace Toolkit::Win32Platform

// Decoded images shared by resource id across every bitmap and every plug-in instance of the
// module, so that an image is decoded once however many editors show it. Platform-neutral: each
// back-end caches its own kind of decoded image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace Toolkit {

// An image lives while at least one holder keeps the pointer that acquire() answered and is
// destroyed, and forgotten, when the last holder lets go; the cache itself holds no reference,
// so nothing is left behind when every bitmap is gone.
template <class Image> class SharedImageCache {
public:
    SharedImageCache() = default;
    SharedImageCache(const SharedImageCache&) = delete;
    SharedImageCache& operator=(const SharedImageCache&) = delete;

    // The image held for `id`, or the one `make()` returns (a std::unique_ptr<Image>; null
    // when there is no such image, which is then not remembered). `make` runs under the
    // cache's lock, so it must be cheap: defer the actual decoding to the image itself.
    template <class Make> std::shared_ptr<Image> acquire(std::int32_t id, Make&& make) {
        // Only editor threads and constructors come here, never the audio thread: a lock is fine.
        std::lock_guard<std::mutex> hold(lock);
        if (auto found = images.find(id); found != images.end()) {
            if (std::shared_ptr<Image> image = found->second.lock()) {
                return image;
            }
        }
        std::unique_ptr<Image> made = make();
        if (!made) {
            return nullptr;
        }
        std::shared_ptr<Image> image(made.release(), [this, id](Image* gone) { forget(id, gone); });
        images[id] = image;
        return image;
    }

    // Ids with a living image.
    std::size_t size() const {
        std::lock_guard<std::mutex> hold(lock);
        return images.size();
    }

private:
    void forget(std::int32_t id, Image* gone) {
        {
            std::lock_guard<std::mutex> hold(lock);
            // Another thread may already have made a new image for the id.
            if (auto found = images.find(id); found != images.end() && found->second.expired()) {
                images.erase(found);
            }
        }
        delete gone;
    }

    mutable std::mutex lock;
    std::unordered_map<std::int32_t, std::weak_ptr<Image>> images;
};

} // namespace Toolkit

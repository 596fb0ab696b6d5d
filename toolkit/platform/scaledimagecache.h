// An image's parts as drawn at a size between its own pixel densities (1.5x from the 2x image,
// say), resampled once and then copied on every paint by every instance: resampling the big
// filmstrips on each paint made a knob turn cost a filter pass. Platform-neutral: each back-end
// keeps its own kind of pixels, one cache per shared decoded image, which it drops with the
// image (so with the last instance that shows it).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

namespace Toolkit {

// Everything a resampled part's pixels depend on: the scale, the part of the source image
// (in its pixels), the shown size in units and where the destination falls within a device
// pixel (the fraction of its origin in device pixels), and the kind of surface it is drawn into
// where a back-end blends differently into different kinds.
struct ScaledImageKey {
    double scale = 1.0;
    double left = 0, top = 0, right = 0, bottom = 0;
    double width = 0, height = 0;
    double phaseX = 0, phaseY = 0;
    int surface = 0;

    auto tied() const {
        return std::tie(scale, left, top, right, bottom, width, height, phaseX, phaseY, surface);
    }
    bool operator<(const ScaledImageKey& other) const { return tied() < other.tied(); }
};

// Pixels needs `std::size_t bytes() const`. Sizes are kept for the scales last drawn, at most
// kScalesKept of them: an editor resized away leaves no copies behind beyond that.
template <class Pixels> class ScaledImageCache {
public:
    static constexpr std::size_t kScalesKept = 2;

    ScaledImageCache() = default;
    ~ScaledImageCache() {
        for (const auto& [key, pixels] : parts) {
            total().fetch_sub(pixels->bytes(), std::memory_order_relaxed);
        }
    }
    ScaledImageCache(const ScaledImageCache&) = delete;
    ScaledImageCache& operator=(const ScaledImageCache&) = delete;

    // The pixels kept for `key`, or those `make()` answers (a std::shared_ptr<Pixels>; null
    // is not kept). `make` runs under the cache's lock, so that two editors showing the same
    // part resample it once. Editor threads only.
    template <class Make> std::shared_ptr<Pixels> acquire(const ScaledImageKey& key, Make&& make) {
        std::lock_guard<std::mutex> hold(lock);
        touch(key.scale);
        if (auto found = parts.find(key); found != parts.end()) {
            return found->second;
        }
        std::shared_ptr<Pixels> made = make();
        if (made) {
            parts.emplace(key, made);
            total().fetch_add(made->bytes(), std::memory_order_relaxed);
        }
        return made;
    }

    // Bytes held by this cache.
    std::size_t bytes() const {
        std::lock_guard<std::mutex> hold(lock);
        std::size_t sum = 0;
        for (const auto& [key, pixels] : parts) {
            sum += pixels->bytes();
        }
        return sum;
    }
    // Bytes held by every cache of this kind of pixels in the process.
    static std::size_t bytesInProcess() { return total().load(std::memory_order_relaxed); }

private:
    static std::atomic<std::size_t>& total() {
        static std::atomic<std::size_t> sum{0};
        return sum;
    }

    // Makes `scale` the most recent one and drops the parts of scales beyond kScalesKept.
    void touch(double scale) {
        if (!recent.empty() && recent.front() == scale) {
            return;
        }
        recent.erase(std::remove(recent.begin(), recent.end(), scale), recent.end());
        recent.insert(recent.begin(), scale);
        while (recent.size() > kScalesKept) {
            const double dropped = recent.back();
            recent.pop_back();
            for (auto it = parts.begin(); it != parts.end();) {
                if (it->first.scale == dropped) {
                    total().fetch_sub(it->second->bytes(), std::memory_order_relaxed);
                    it = parts.erase(it);
                } else {
                    ++it;
                }
            }
        }
    }

    mutable std::mutex lock;
    std::map<ScaledImageKey, std::shared_ptr<Pixels>> parts;
    // Most recently drawn first.
    std::vector<double> recent;
};

} // namespace Toolkit

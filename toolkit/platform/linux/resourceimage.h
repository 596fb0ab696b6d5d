// One embedded PNG, decoded at most once per process and shared by every CairoBitmap of its id.
#pragma once

#include "platform/scaledimagecache.h"
#include "resourcetable.h"

#include <atomic>
#include <cairo.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace Toolkit::LinuxPlatform {

class ResourceImage {
public:
    // The shared image of the PNG resource `id`; null when the module has no such PNG or it does
    // not decode (known from the build, so nothing is decoded here).
    static std::shared_ptr<ResourceImage> acquire(std::int32_t id);
    // Ids whose image is alive in this process.
    static std::size_t alive();

    explicit ResourceImage(const ResourceBytes& bytes);
    ~ResourceImage();
    ResourceImage(const ResourceImage&) = delete;
    ResourceImage& operator=(const ResourceImage&) = delete;

    int width() const { return static_cast<int>(bytes.width); }
    int height() const { return static_cast<int>(bytes.height); }
    // A new surface of the caller's own over the shared pixels, decoding them on the first call
    // (of an image embedded in slices, none of them: see prepareRows); null when decoding fails
    // (out of memory). The pixels must not be drawn into. The caller destroys the surface, and
    // keeps this image alive while it uses the surface. One surface per user, because a cairo
    // surface used as a source on two threads at once races on the unsynchronised reference
    // count of its pixman image.
    cairo_surface_t* newSurface();
    // Decodes the slices that rows top to bottom (exclusive) fall in, each once per process
    // whichever thread asks first; nothing for an image embedded whole. Call after newSurface
    // and before reading those rows.
    void prepareRows(int top, int bottom);
    // Every row, the last slice first: the decoding thread meets an editor that paints from
    // the top halfway.
    void prepareRowsFromBottom();
    // True when the image is embedded in slices.
    bool sliced() const { return sliceOnce != nullptr; }
    // Slices decoded so far; 0 for an image embedded whole.
    int decodedSlices() const { return slicesDone.load(); }

    // Like newSurface, over this image's part resampled as `draw` paints it into a transparent
    // surface of `width` x `height` pixels; `draw` runs once per key for as long as this image
    // lives. The surface keeps the resampled pixels alive until it is destroyed; null when
    // memory runs short.
    cairo_surface_t* newResampledSurface(const ScaledImageKey& key, int width, int height,
                                         const std::function<void(cairo_t*)>& draw);
    // Bytes of resampled parts held by every image of the process.
    static std::size_t resampledBytes();

    // Pixels that one resampled part owns.
    class Resampled {
    public:
        explicit Resampled(cairo_surface_t* pixels) : surface(pixels) {}
        ~Resampled() { cairo_surface_destroy(surface); }
        Resampled(const Resampled&) = delete;
        Resampled& operator=(const Resampled&) = delete;
        std::size_t bytes() const;
        cairo_surface_t* const surface;
    };

private:
    // Decodes slice `index` into its rows of the shared pixels; once per slice.
    void decodeSlice(int index);

    const ResourceBytes bytes;
    ScaledImageCache<Resampled> resampled;
    std::once_flag decodeOnce;
    cairo_surface_t* pixels = nullptr;
    // One per slice of an image embedded in slices.
    std::unique_ptr<std::once_flag[]> sliceOnce;
    std::atomic<int> slicesDone{0};
};

} // namespace Toolkit::LinuxPlatform

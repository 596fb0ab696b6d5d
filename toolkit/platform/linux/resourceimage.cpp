#include "resourceimage.h"

#include "platform/sharedimagecache.h"
#include "pngdecoder.h"

#include <algorithm>
#include <cstring>

namespace Toolkit::LinuxPlatform {

namespace {
SharedImageCache<ResourceImage>& cache() {
    static SharedImageCache<ResourceImage> images;
    return images;
}
} // namespace

std::shared_ptr<ResourceImage> ResourceImage::acquire(std::int32_t id) {
    return cache().acquire(id, [id]() -> std::unique_ptr<ResourceImage> {
        const ResourceBytes bytes = findResource("PNG", id);
        if (!bytes || bytes.width == 0 || bytes.height == 0) {
            return nullptr;
        }
        return std::make_unique<ResourceImage>(bytes);
    });
}

std::size_t ResourceImage::alive() {
    return cache().size();
}

ResourceImage::ResourceImage(const ResourceBytes& resource) : bytes(resource) {
    if (bytes.sliceCount > 0) {
        sliceOnce = std::make_unique<std::once_flag[]>(bytes.sliceCount);
    }
}

ResourceImage::~ResourceImage() {
    if (pixels) {
        cairo_surface_destroy(pixels);
    }
}

namespace {

// A surface of the caller's own over `pixels`, as one cairo surface must not be a source on two
// threads at once.
cairo_surface_t* viewOf(cairo_surface_t* pixels) {
    cairo_surface_t* view = cairo_image_surface_create_for_data(
        cairo_image_surface_get_data(pixels), CAIRO_FORMAT_ARGB32,
        cairo_image_surface_get_width(pixels), cairo_image_surface_get_height(pixels),
        cairo_image_surface_get_stride(pixels));
    if (cairo_surface_status(view) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(view);
        return nullptr;
    }
    return view;
}

const cairo_user_data_key_t kKeepsPixels{};

} // namespace

std::size_t ResourceImage::Resampled::bytes() const {
    return std::size_t(cairo_image_surface_get_stride(surface)) *
           std::size_t(cairo_image_surface_get_height(surface));
}

std::size_t ResourceImage::resampledBytes() {
    return ScaledImageCache<Resampled>::bytesInProcess();
}

cairo_surface_t* ResourceImage::newResampledSurface(const ScaledImageKey& key, int width,
                                                    int height,
                                                    const std::function<void(cairo_t*)>& draw) {
    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    std::shared_ptr<Resampled> part = resampled.acquire(key, [&]() -> std::shared_ptr<Resampled> {
        cairo_surface_t* pixels = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
        if (cairo_surface_status(pixels) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(pixels);
            return nullptr;
        }
        cairo_t* cr = cairo_create(pixels);
        draw(cr);
        const bool drawn = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
        cairo_destroy(cr);
        cairo_surface_flush(pixels);
        if (!drawn) {
            cairo_surface_destroy(pixels);
            return nullptr;
        }
        return std::make_shared<Resampled>(pixels);
    });
    if (!part) {
        return nullptr;
    }
    cairo_surface_t* view = viewOf(part->surface);
    if (!view) {
        return nullptr;
    }
    // The cache may drop the part (another scale drawn) while this surface is still in use.
    auto* keep = new std::shared_ptr<Resampled>(std::move(part));
    if (cairo_surface_set_user_data(view, &kKeepsPixels, keep, [](void* held) {
            delete static_cast<std::shared_ptr<Resampled>*>(held);
        }) != CAIRO_STATUS_SUCCESS) {
        delete keep;
        cairo_surface_destroy(view);
        return nullptr;
    }
    return view;
}

cairo_surface_t* ResourceImage::newSurface() {
    std::call_once(decodeOnce, [this] {
        if (sliceOnce) {
            // Transparent until a slice is decoded into it; pages never written stay unmapped.
            cairo_surface_t* blank =
                cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width(), height());
            if (cairo_surface_status(blank) != CAIRO_STATUS_SUCCESS) {
                cairo_surface_destroy(blank);
                blank = nullptr;
            }
            pixels = blank;
            return;
        }
        cairo_surface_t* decoded = decodePng(bytes.data, bytes.size);
        // The build decoded the same bytes, so only a shortage of memory can end here.
        if (decoded && (cairo_image_surface_get_width(decoded) != width() ||
                        cairo_image_surface_get_height(decoded) != height())) {
            cairo_surface_destroy(decoded);
            decoded = nullptr;
        }
        pixels = decoded;
    });
    return pixels ? viewOf(pixels) : nullptr;
}

void ResourceImage::prepareRows(int top, int bottom) {
    if (!sliceOnce || !pixels) {
        return;
    }
    top = std::max(top, 0);
    bottom = std::min(bottom, height());
    const int sliceHeight = height() / static_cast<int>(bytes.sliceCount);
    for (int index = top / sliceHeight; top < bottom && index * sliceHeight < bottom; ++index) {
        std::call_once(sliceOnce[index], [this, index] { decodeSlice(index); });
    }
}

void ResourceImage::prepareRowsFromBottom() {
    if (!sliceOnce || !pixels) {
        return;
    }
    for (int index = static_cast<int>(bytes.sliceCount) - 1; index >= 0; --index) {
        std::call_once(sliceOnce[index], [this, index] { decodeSlice(index); });
    }
}

void ResourceImage::decodeSlice(int index) {
    const ResourceSlice& slice = bytes.slices[index];
    cairo_surface_t* decoded = decodePng(slice.data, slice.size);
    const int sliceHeight = height() / static_cast<int>(bytes.sliceCount);
    // The build decoded each slice to the image's own pixels; only a shortage of memory leaves
    // its rows transparent.
    if (decoded && cairo_image_surface_get_width(decoded) == width() &&
        cairo_image_surface_get_height(decoded) == sliceHeight) {
        cairo_surface_flush(decoded);
        const int from = cairo_image_surface_get_stride(decoded);
        const int to = cairo_image_surface_get_stride(pixels);
        unsigned char* target =
            cairo_image_surface_get_data(pixels) + std::ptrdiff_t(index) * sliceHeight * to;
        const unsigned char* source = cairo_image_surface_get_data(decoded);
        for (int y = 0; y < sliceHeight; ++y) {
            std::memcpy(target + std::ptrdiff_t(y) * to, source + std::ptrdiff_t(y) * from,
                        static_cast<std::size_t>(width()) * 4);
        }
        slicesDone.fetch_add(1);
    }
    if (decoded) {
        cairo_surface_destroy(decoded);
    }
}

} // namespace Toolkit::LinuxPlatform

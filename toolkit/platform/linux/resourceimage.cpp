#include "resourceimage.h"

#include "platform/sharedimagecache.h"
#include "pngdecoder.h"

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

ResourceImage::ResourceImage(const ResourceBytes& resource) : bytes(resource) {}

ResourceImage::~ResourceImage() {
    if (pixels) {
        cairo_surface_destroy(pixels);
    }
}

cairo_surface_t* ResourceImage::newSurface() {
    std::call_once(decodeOnce, [this] {
        cairo_surface_t* decoded = decodePng(bytes.data, bytes.size);
        // The build decoded the same bytes, so only a shortage of memory can end here.
        if (decoded && (cairo_image_surface_get_width(decoded) != width() ||
                        cairo_image_surface_get_height(decoded) != height())) {
            cairo_surface_destroy(decoded);
            decoded = nullptr;
        }
        pixels = decoded;
    });
    if (!pixels) {
        return nullptr;
    }
    cairo_surface_t* view = cairo_image_surface_create_for_data(
        cairo_image_surface_get_data(pixels), CAIRO_FORMAT_ARGB32, width(), height(),
        cairo_image_surface_get_stride(pixels));
    if (cairo_surface_status(view) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(view);
        return nullptr;
    }
    return view;
}

} // namespace Toolkit::LinuxPlatform

#include "cairobitmap.h"

#include "argb32copy.h"
#include "pngdecoder.h"
#include "resourceimage.h"

namespace Toolkit::LinuxPlatform {

CairoBitmap::CairoBitmap(int width, int height) {
    cairo_surface_t* created = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(created) == CAIRO_STATUS_SUCCESS) {
        image = created; // cairo clears new image surfaces to transparent
    } else {
        cairo_surface_destroy(created);
    }
}

CairoBitmap::~CairoBitmap() {
    // The surface may read the shared pixels, so it goes before the last hold on them.
    if (image) {
        cairo_surface_destroy(image);
    }
}

bool CairoBitmap::load(const CResourceRef& resource) {
    if (image || shared || resource.kind() != CResourceRef::kNumeric) {
        return false;
    }
    shared = ResourceImage::acquire(resource.id());
    return shared != nullptr;
}

bool CairoBitmap::loadFromMemory(const unsigned char* data, std::uint32_t size) {
    if (image || shared) {
        return false;
    }
    image = decodePng(data, size);
    return image != nullptr;
}

void CairoBitmap::prepare() {
    if (!image && shared) {
        image = shared->newSurface();
    }
    if (image && shared) {
        shared->prepareRowsFromBottom();
    }
}

bool CairoBitmap::decodesInSlices() const {
    return shared && shared->sliced();
}

cairo_surface_t* CairoBitmap::surface() {
    return surfaceFor(0, shared ? shared->height() : 0);
}

cairo_surface_t* CairoBitmap::surfaceFor(int top, int bottom) {
    if (!image && shared) {
        image = shared->newSurface();
    }
    if (image && shared) {
        shared->prepareRows(top, bottom);
    }
    return image;
}

cairo_surface_t* CairoBitmap::writableSurface() {
    if (!shared) {
        return image;
    }
    cairo_surface_t* source = surface();
    if (!source) {
        return nullptr;
    }
    cairo_surface_t* own = copyToArgb32(source);
    if (!own) {
        return nullptr;
    }
    cairo_surface_destroy(source);
    image = own;
    shared.reset();
    return image;
}

CPoint CairoBitmap::size() const {
    if (shared) {
        return {static_cast<double>(shared->width()), static_cast<double>(shared->height())};
    }
    if (!image) {
        return {};
    }
    return {static_cast<double>(cairo_image_surface_get_width(image)),
            static_cast<double>(cairo_image_surface_get_height(image))};
}

bool CairoBitmap::isKindOf(const char* className) const {
    return nameIs(className, "CairoBitmap") || IPlatformBitmap::isKindOf(className);
}

} // namespace Toolkit::LinuxPlatform

#include "cairobitmap.h"

#include "pngdecoder.h"
#include "resourcetable.h"

namespace Toolkit::LinuxPlatform {

CairoBitmap::CairoBitmap(int width, int height) {
    cairo_surface_t* created = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(created) == CAIRO_STATUS_SUCCESS)
        image = created; // cairo clears new image surfaces to transparent
    else
        cairo_surface_destroy(created);
}

CairoBitmap::~CairoBitmap() {
    if (image)
        cairo_surface_destroy(image);
}

bool CairoBitmap::load(const CResourceRef& resource) {
    if (image || resource.kind() != CResourceRef::kNumeric)
        return false;
    const ResourceBytes bytes = findResource("PNG", resource.id());
    return bytes && loadFromMemory(bytes.data, bytes.size);
}

bool CairoBitmap::loadFromMemory(const unsigned char* data, std::uint32_t size) {
    if (image)
        return false;
    image = decodePng(data, size);
    return image != nullptr;
}

CPoint CairoBitmap::size() const {
    if (!image)
        return {};
    return {static_cast<double>(cairo_image_surface_get_width(image)),
            static_cast<double>(cairo_image_surface_get_height(image))};
}

bool CairoBitmap::isKindOf(const char* className) const {
    return nameIs(className, "CairoBitmap") || IPlatformBitmap::isKindOf(className);
}

} // namespace Toolkit::LinuxPlatform

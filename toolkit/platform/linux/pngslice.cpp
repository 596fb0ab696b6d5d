#include "pngslice.h"

namespace Toolkit::LinuxPlatform {

std::vector<unsigned char> sliceAsPng(cairo_surface_t* image, int top, int rows) {
    using Bytes = std::vector<unsigned char>;
    cairo_surface_t* band =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(image), rows);
    cairo_t* cr = cairo_create(band);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, image, 0, -static_cast<double>(top));
    cairo_paint(cr);
    cairo_destroy(cr);
    Bytes png;
    const cairo_status_t status = cairo_surface_write_to_png_stream(
        band,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<Bytes*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(band);
    if (status != CAIRO_STATUS_SUCCESS) {
        png.clear();
    }
    return png;
}

} // namespace Toolkit::LinuxPlatform

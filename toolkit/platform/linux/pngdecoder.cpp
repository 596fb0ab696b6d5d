#include "pngdecoder.h"

#include "argb32copy.h"

#include <cstring>

namespace Toolkit::LinuxPlatform {

namespace {

struct MemoryReader {
    const unsigned char* data;
    std::uint32_t size;
    std::uint32_t position;
};

// cairo asks for exact lengths; a short read means truncated data and fails the decode.
cairo_status_t readMemory(void* closure, unsigned char* buffer, unsigned int length) {
    auto* reader = static_cast<MemoryReader*>(closure);
    if (length > reader->size - reader->position) {
        return CAIRO_STATUS_READ_ERROR;
    }
    std::memcpy(buffer, reader->data + reader->position, length);
    reader->position += length;
    return CAIRO_STATUS_SUCCESS;
}

} // namespace

cairo_surface_t* decodePng(const unsigned char* data, std::uint32_t size) {
    if (data == nullptr || size == 0) {
        return nullptr;
    }
    MemoryReader reader{data, size, 0};
    cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(readMemory, &reader);
    if (cairo_surface_status(decoded) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(decoded);
        return nullptr;
    }
    if (cairo_image_surface_get_format(decoded) == CAIRO_FORMAT_ARGB32) {
        return decoded;
    }
    cairo_surface_t* converted = copyToArgb32(decoded);
    cairo_surface_destroy(decoded);
    return converted;
}

} // namespace Toolkit::LinuxPlatform

#include "panelpicture.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace editortest {

Surface loadPng(const std::filesystem::path& path) {
    return Surface(cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy);
}

Image toImage(cairo_surface_t* surface) {
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        return {};
    }
    cairo_surface_flush(surface);
    const int w = cairo_image_surface_get_width(surface);
    const int h = cairo_image_surface_get_height(surface);
    Image out{w, h, std::vector<std::uint32_t>(std::size_t(w) * h)};
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < h; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(
            data + std::ptrdiff_t(y) * cairo_image_surface_get_stride(surface));
        for (int x = 0; x < w; ++x) {
            out.pixels[std::size_t(y) * w + x] = row[x] & 0xFFFFFF;
        }
    }
    return out;
}

Image loadImage(const std::filesystem::path& path) {
    return toImage(loadPng(path).get());
}

int countDifferent(const Image& a, const Image& b, const Rect& area, int tolerance) {
    if (a.width != b.width || a.height != b.height || a.pixels.empty() || area.left < 0 ||
        area.top < 0 || area.right > a.width || area.bottom > a.height) {
        return -1;
    }
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            const std::uint32_t p = a.pixels[std::size_t(y) * a.width + x];
            const std::uint32_t q = b.pixels[std::size_t(y) * b.width + x];
            for (int shift : {0, 8, 16}) {
                if (std::abs(int((p >> shift) & 0xFF) - int((q >> shift) & 0xFF)) > tolerance) {
                    ++count;
                    break;
                }
            }
        }
    }
    return count;
}

int countDifferent(const Image& a, const Image& b, int tolerance) {
    return countDifferent(a, b, {0, 0, a.width, a.height}, tolerance);
}

void saveForInspection(const Image& image, const std::string& name) {
    const std::filesystem::path path =
        std::filesystem::path(GRAVELIX_TEST_OUTPUT_DIR) / ("actual-" + name);
    gravelix::host::writePng(path, image);
    std::printf("saved the window as %s\n", path.c_str());
}

} // namespace editortest

#include "canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace Artwork {

Colour mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

namespace {
int scaleOfDrawing = 1;
} // namespace

void setDrawingScale(int scale) {
    scaleOfDrawing = scale;
}

int drawingScale() {
    return scaleOfDrawing;
}

Surface newSurface(int width, int height) {
    Surface s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width * scaleOfDrawing,
                                         height * scaleOfDrawing));
    if (cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS) {
        throw std::runtime_error("cannot create a drawing surface");
    }
    // The device scale makes every later drawing call (and every use of the surface as a
    // source) work in layout units.
    cairo_surface_set_device_scale(s.get(), scaleOfDrawing, scaleOfDrawing);
    return s;
}

Context newContext(const Surface& surface) {
    Context c(cairo_create(surface.get()));
    cairo_set_antialias(c.get(), CAIRO_ANTIALIAS_GOOD);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(c.get(), options);
    cairo_font_options_destroy(options);
    return c;
}

void setColour(cairo_t* cr, Colour c, double alpha) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

void setGradient(cairo_t* cr, cairo_pattern_t* pattern, std::initializer_list<ColourStop> stops) {
    for (const ColourStop& s : stops) {
        cairo_pattern_add_color_stop_rgba(pattern, s.offset, s.r, s.g, s.b, s.alpha);
    }
    cairo_set_source(cr, pattern);
    cairo_pattern_destroy(pattern);
}

void circlePath(cairo_t* cr, double cx, double cy, double radius) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, cx, cy, radius, 0.0, 2.0 * std::numbers::pi);
    cairo_close_path(cr);
}

void litDisc(cairo_t* cr, double cx, double cy, double radius,
             std::initializer_list<ColourStop> stops) {
    setGradient(cr, cairo_pattern_create_linear(cx - radius, cy - radius, cx + radius, cy + radius),
                stops);
    circlePath(cr, cx, cy, radius);
    cairo_fill(cr);
}

void roundedRectPath(cairo_t* cr, double x, double y, double w, double h, double radius) {
    const double pi = std::numbers::pi;
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - radius, y + radius, radius, -pi / 2, 0);
    cairo_arc(cr, x + w - radius, y + h - radius, radius, 0, pi / 2);
    cairo_arc(cr, x + radius, y + h - radius, radius, pi / 2, pi);
    cairo_arc(cr, x + radius, y + radius, radius, pi, 3 * pi / 2);
    cairo_close_path(cr);
}

void softShadow(cairo_t* cr, double cx, double cy, double radius, double blur, double alpha) {
    cairo_pattern_t* p = cairo_pattern_create_radial(cx, cy, 0, cx, cy, radius);
    const double inner = std::max(0.0, (radius - blur) / radius);
    cairo_pattern_add_color_stop_rgba(p, 0, 0, 0, 0, alpha);
    cairo_pattern_add_color_stop_rgba(p, inner, 0, 0, 0, alpha);
    // A smooth fall-off rather than a straight ramp reads as a real penumbra.
    for (int i = 1; i <= 4; ++i) {
        const double t = i / 4.0;
        const double a = alpha * (1 - t) * (1 - t);
        cairo_pattern_add_color_stop_rgba(p, inner + (1 - inner) * t, 0, 0, 0, a);
    }
    cairo_set_source(cr, p);
    circlePath(cr, cx, cy, radius);
    cairo_fill(cr);
    cairo_pattern_destroy(p);
}

namespace {
void selectFont(cairo_t* cr, const Fonts& fonts, const TextStyle& style) {
    cairo_set_font_face(cr, fonts.face(style.typeface));
    cairo_set_font_size(cr, style.size);
}
} // namespace

double textWidth(cairo_t* cr, const Fonts& fonts, const TextStyle& style, const std::string& text) {
    cairo_save(cr);
    selectFont(cr, fonts, style);
    double width = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char glyph[2] = {text[i], 0};
        cairo_text_extents_t e;
        cairo_text_extents(cr, glyph, &e);
        width += e.x_advance;
        if (i + 1 < text.size()) {
            width += style.tracking;
        }
    }
    cairo_restore(cr);
    return width;
}

void textPath(cairo_t* cr, const Fonts& fonts, const TextStyle& style, const std::string& text,
              double x, double baseline, Align align) {
    const double width = textWidth(cr, fonts, style, text);
    if (align == Align::Centre) {
        x -= width / 2;
    } else if (align == Align::Right) {
        x -= width;
    }
    cairo_save(cr);
    selectFont(cr, fonts, style);
    for (char ch : text) {
        const char glyph[2] = {ch, 0};
        cairo_move_to(cr, x, baseline);
        cairo_text_path(cr, glyph);
        cairo_text_extents_t e;
        cairo_text_extents(cr, glyph, &e);
        x += e.x_advance + style.tracking;
    }
    cairo_restore(cr);
}

void printText(cairo_t* cr, const Fonts& fonts, const TextStyle& style, const std::string& text,
               double x, double baseline, Align align, Colour ink, double alpha) {
    // The light edge lies below on screen, whatever the text's rotation.
    double dx = 0.0, dy = 0.6;
    cairo_device_to_user_distance(cr, &dx, &dy);
    cairo_new_path(cr);
    textPath(cr, fonts, style, text, x + dx, baseline + dy, align);
    cairo_set_source_rgba(cr, 1, 1, 1, 0.22 * alpha);
    cairo_fill(cr);
    textPath(cr, fonts, style, text, x, baseline, align);
    setColour(cr, ink, alpha);
    cairo_fill(cr);
}

void addGrain(cairo_t* cr, int width, int height, double strength, unsigned seed) {
    // One pixel-sized speck per pixel, lighter or darker; a small LCG keeps it reproducible.
    // At a larger drawing scale the specks stay one device pixel each.
    Surface grain = newSurface(width, height);
    cairo_surface_flush(grain.get());
    unsigned char* data = cairo_image_surface_get_data(grain.get());
    const int stride = cairo_image_surface_get_stride(grain.get());
    const int pixelsWide = cairo_image_surface_get_width(grain.get());
    const int pixelsHigh = cairo_image_surface_get_height(grain.get());
    std::uint32_t state = seed * 2654435761u + 12345u;
    for (int y = 0; y < pixelsHigh; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < pixelsWide; ++x) {
            state = state * 1664525u + 1013904223u;
            const double n = ((state >> 8) & 0xffff) / 65535.0 * 2.0 - 1.0;
            const auto a = static_cast<std::uint32_t>(std::lround(std::abs(n) * strength * 255));
            const std::uint32_t v = n > 0 ? a : 0; // premultiplied white or black
            row[x] = (a << 24) | (v << 16) | (v << 8) | v;
        }
    }
    cairo_surface_mark_dirty(grain.get());
    cairo_set_source_surface(cr, grain.get(), 0, 0);
    cairo_paint(cr);
}

void writePng(const Surface& surface, const std::string& path) {
    // Always colour type RGBA, even for opaque pictures (cairo's own writer would drop the
    // alpha channel there), and no time stamp, so the bytes depend only on the pixels.
    cairo_surface_flush(surface.get());
    const int width = cairo_image_surface_get_width(surface.get());
    const int height = cairo_image_surface_get_height(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    const unsigned char* data = cairo_image_surface_get_data(surface.get());

    std::vector<unsigned char> rgba(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        const auto* src = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        unsigned char* dst = rgba.data() + static_cast<std::size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = src[x];
            const unsigned a = p >> 24;
            const unsigned c[3] = {(p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff};
            for (int i = 0; i < 3; ++i) {
                dst[x * 4 + i] =
                    a == 0 ? 0
                           : static_cast<unsigned char>(std::min(255u, (c[i] * 255 + a / 2) / a));
            }
            dst[x * 4 + 3] = static_cast<unsigned char>(a);
        }
    }

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"),
                                                         std::fclose);
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw std::runtime_error("cannot start the PNG writer");
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("cannot write " + path);
    }
    png_init_io(png, file.get());
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, rgba.data() + static_cast<std::size_t>(y) * width * 4);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fflush(file.get()) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
}

} // namespace Artwork

// The first decode of each editor image: libpng through cairo (what the plug-in uses) against
// libspng producing the same premultiplied ARGB32 pixels, which are checked to be identical
// before anything is timed. Read the CPU column (this thread's time per decode).
#include <benchmark/benchmark.h>

#include "pngdecoder.h"

#include <cairo.h>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <spng.h>
#include <string>
#include <vector>

namespace {

const char* const kImages[] = {"front_panel", "footswitch", "stereo_switch", "knob",         "led",
                               "tweak",       "fader",      "back_panel",    "pickup_switch"};

std::vector<unsigned char> readImage(const char* name) {
    std::ifstream in(std::string(GRAVELIX_SOURCE_DIR) + "/editor/resources/" + name + ".png",
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// cairo's own premultiplication, so both decoders give the same bytes.
unsigned premultiply(unsigned alpha, unsigned color) {
    const unsigned t = alpha * color + 0x80;
    return (t + (t >> 8)) >> 8;
}

// Row by row straight into the surface, premultiplying each row while it is in cache.
cairo_surface_t* decodeWithSpng(const std::vector<unsigned char>& png) {
    spng_ctx* ctx = spng_ctx_new(0);
    spng_ihdr header{};
    cairo_surface_t* surface = nullptr;
    if (ctx && spng_set_png_buffer(ctx, png.data(), png.size()) == 0 &&
        spng_get_ihdr(ctx, &header) == 0 && header.interlace_method == 0 &&
        spng_decode_image(ctx, nullptr, 0, SPNG_FMT_RGBA8,
                          SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE) == 0) {
        const int width = static_cast<int>(header.width);
        surface =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, static_cast<int>(header.height));
        unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        spng_row_info row{};
        int status = 0;
        while (status == 0 && spng_get_row_info(ctx, &row) == 0) {
            unsigned char* line = data + static_cast<std::ptrdiff_t>(row.row_num) * stride;
            status = spng_decode_row(ctx, line, static_cast<std::size_t>(width) * 4);
            for (int x = 0; x < width; ++x) {
                unsigned char* p = line + 4 * x;
                const unsigned a = p[3];
                std::uint32_t pixel = 0;
                if (a == 255) {
                    pixel = 0xFF000000u | p[0] << 16 | p[1] << 8 | p[2];
                } else if (a != 0) {
                    pixel = a << 24 | premultiply(a, p[0]) << 16 | premultiply(a, p[1]) << 8 |
                            premultiply(a, p[2]);
                }
                std::memcpy(p, &pixel, 4);
            }
        }
        cairo_surface_mark_dirty(surface);
    }
    spng_ctx_free(ctx);
    return surface;
}

cairo_surface_t* decodeWithCairo(const std::vector<unsigned char>& png) {
    return Toolkit::LinuxPlatform::decodePng(png.data(), static_cast<std::uint32_t>(png.size()));
}

bool samePixels(cairo_surface_t* a, cairo_surface_t* b) {
    if (!a || !b) {
        return false;
    }
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    const int height = cairo_image_surface_get_height(a);
    const int stride = cairo_image_surface_get_stride(a);
    return height == cairo_image_surface_get_height(b) &&
           stride == cairo_image_surface_get_stride(b) &&
           std::memcmp(cairo_image_surface_get_data(a), cairo_image_surface_get_data(b),
                       static_cast<std::size_t>(height) * stride) == 0;
}

void decode(benchmark::State& state,
            cairo_surface_t* (*decoder)(const std::vector<unsigned char>&)) {
    const std::vector<unsigned char> png = readImage(kImages[state.range(0)]);
    state.SetLabel(kImages[state.range(0)]);
    cairo_surface_t* reference = decodeWithCairo(png);
    cairo_surface_t* mine = decoder(png);
    const bool same = samePixels(reference, mine);
    cairo_surface_destroy(reference);
    cairo_surface_destroy(mine);
    if (!same) {
        state.SkipWithError("the decoders disagree on the pixels");
        return;
    }
    for (auto _ : state) {
        cairo_surface_destroy(decoder(png));
    }
}

void BM_DecodeCairo(benchmark::State& state) {
    decode(state, decodeWithCairo);
}
void BM_DecodeSpng(benchmark::State& state) {
    decode(state, decodeWithSpng);
}
BENCHMARK(BM_DecodeCairo)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSpng)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// What a first paint above 1x would gain from the 2x knob filmstrip stored as one PNG per
// frame: the thread time to decode the strip as stored against one frame of it, and the front
// face's 2x images as a first 2x paint decodes them, with the whole strip or with the two
// knobs' frames alone. The frames are cut from the stored strip and written with cairo's PNG
// writer (the one the artwork tool uses) before anything is timed. Read the CPU column.
#include <benchmark/benchmark.h>

#include "pngdecoder.h"
#include "pngslice.h"

#include <cairo.h>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

Bytes readImage(const std::string& name) {
    std::ifstream in(std::string(GRAVELIX_SOURCE_DIR) + "/editor/resources/" + name + ".png",
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

cairo_surface_t* decode(const Bytes& png) {
    return Toolkit::LinuxPlatform::decodePng(png.data(), static_cast<std::uint32_t>(png.size()));
}

// Frame `index` of a vertical filmstrip of square frames, as a PNG of its own.
Bytes frameOf(cairo_surface_t* strip, int index) {
    const int side = cairo_image_surface_get_width(strip);
    return Toolkit::LinuxPlatform::sliceAsPng(strip, index * side, side);
}

struct Images {
    Bytes strip = readImage("knob_2x");
    std::vector<Bytes> frames;
    std::vector<Bytes> restOfFront;
    Images() {
        cairo_surface_t* decoded = decode(strip);
        const int count =
            cairo_image_surface_get_height(decoded) / cairo_image_surface_get_width(decoded);
        for (int i = 0; i < count; ++i) {
            frames.push_back(frameOf(decoded, i));
        }
        cairo_surface_destroy(decoded);
        for (const char* name : {"front_panel_2x", "footswitch_2x", "tweak_2x", "led_2x"}) {
            restOfFront.push_back(readImage(name));
        }
    }
};

const Images& images() {
    static const Images loaded;
    return loaded;
}

void BM_KnobStrip2x(benchmark::State& state) {
    for (auto _ : state) {
        cairo_surface_destroy(decode(images().strip));
    }
    state.counters["frames"] = static_cast<double>(images().frames.size());
    state.counters["bytes"] = static_cast<double>(images().strip.size());
}
BENCHMARK(BM_KnobStrip2x)->Unit(benchmark::kMillisecond);

void BM_KnobOneFrame2x(benchmark::State& state) {
    const Bytes& frame = images().frames[images().frames.size() / 2];
    for (auto _ : state) {
        cairo_surface_destroy(decode(frame));
    }
    std::size_t total = 0;
    for (const Bytes& each : images().frames) {
        total += each.size();
    }
    state.counters["bytes_all_frames"] = static_cast<double>(total);
}
BENCHMARK(BM_KnobOneFrame2x)->Unit(benchmark::kMillisecond);

// Argument 0: the knob strip as stored; 1: the two knobs' frames only.
void BM_FrontFace2x(benchmark::State& state) {
    const Images& all = images();
    for (auto _ : state) {
        for (const Bytes& png : all.restOfFront) {
            cairo_surface_destroy(decode(png));
        }
        if (state.range(0) == 0) {
            cairo_surface_destroy(decode(all.strip));
        } else {
            cairo_surface_destroy(decode(all.frames[10]));
            cairo_surface_destroy(decode(all.frames[30]));
        }
    }
}
BENCHMARK(BM_FrontFace2x)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

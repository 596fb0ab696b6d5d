// The pedal as a VST 2.4 and as a CLAP plug-in side by side, each loaded as its hosts load it:
// the cost per stereo frame in 64- and 512-frame blocks (both pedals, Hi-Gain), a later
// instance, and a later instance's editor from opening until its first paint is on the screen
// (CLAP: create, set_scale, get_size, set_parent, then the host's timer). Where the two
// formats part, the CLAP adapter costs something the VST 2.4 glue does not. Beside them the
// LV2 UI's warm open, from instantiate until its first paint is on the screen.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <clap/entry.h>
#include <clap/events.h>
#include <clap/ext/gui.h>
#include <clap/ext/params.h>
#include <clap/ext/timer-support.h>
#include <clap/plugin-factory.h>
#include <clap/plugin.h>
#include <dlfcn.h>
#include <unistd.h>
#ifdef GRAVELIX_LV2_UI
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "clapextensions.h"
#include "plugin/aeffect.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<float> noise(std::size_t n, unsigned seed) {
    std::vector<float> v(n);
    for (auto& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = 0.5f * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
    return v;
}

// ---- VST 2.4 ----------------------------------------------------------------------------------

VstIntPtr vstHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

using VstEntry = AEffect* (*)(audioMasterCallback);

VstEntry vstEntry(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    return library ? reinterpret_cast<VstEntry>(dlsym(library, "VSTPluginMain")) : nullptr;
}

// ---- CLAP -------------------------------------------------------------------------------------

// A host that offers timers (the editor's idle) and nothing else; ids from 0, as some hosts do.
struct ClapHost {
    clap_host_t record{};
    clap_id timer = CLAP_INVALID_ID;
    clap_host_timer_support_t timers{};

    ClapHost() {
        record.clap_version = CLAP_VERSION;
        record.host_data = this;
        record.name = "gravelix-format-bench";
        record.vendor = "Keldwyn";
        record.url = "";
        record.version = "1";
        record.get_extension = [](const clap_host_t* h, const char* id) -> const void* {
            auto* self = static_cast<ClapHost*>(h->host_data);
            return std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0 ? &self->timers : nullptr;
        };
        record.request_restart = [](const clap_host_t*) {};
        record.request_process = [](const clap_host_t*) {};
        record.request_callback = [](const clap_host_t*) {};
        timers.register_timer = [](const clap_host_t* h, std::uint32_t, clap_id* id) {
            *id = 0;
            static_cast<ClapHost*>(h->host_data)->timer = 0;
            return true;
        };
        timers.unregister_timer = [](const clap_host_t* h, clap_id) {
            static_cast<ClapHost*>(h->host_data)->timer = CLAP_INVALID_ID;
            return true;
        };
    }
};

const clap_plugin_factory_t* clapFactory(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    auto* entry =
        library ? static_cast<const clap_plugin_entry_t*>(dlsym(library, "clap_entry")) : nullptr;
    if (!entry || !entry->init(path)) {
        return nullptr;
    }
    return static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
}

const clap_plugin_t* clapCreate(const clap_plugin_factory_t* factory, ClapHost& host) {
    const clap_plugin_t* p = factory->create_plugin(factory, &host.record,
                                                    factory->get_plugin_descriptor(factory, 0)->id);
    if (p && !p->init(p)) {
        p->destroy(p);
        return nullptr;
    }
    return p;
}

struct EventList {
    clap_input_events_t in{};
    clap_output_events_t out{};
    clap_event_param_value_t stereo{};
    std::uint32_t count = 0;
    EventList() {
        in.ctx = this;
        in.size = [](const clap_input_events_t* l) {
            return static_cast<const EventList*>(l->ctx)->count;
        };
        in.get = [](const clap_input_events_t* l, std::uint32_t) -> const clap_event_header_t* {
            return &static_cast<const EventList*>(l->ctx)->stereo.header;
        };
        out.try_push = [](const clap_output_events_t*, const clap_event_header_t*) { return true; };
        stereo.header = {sizeof stereo, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
        stereo.param_id = 8;
        stereo.note_id = stereo.port_index = stereo.channel = stereo.key = -1;
        stereo.value = 1.0;
    }
};

// ---- Processing -------------------------------------------------------------------------------

constexpr std::size_t kFrames = 1 << 16;

void label(benchmark::State& state, bool hq, bool clap, std::int64_t block) {
    state.SetLabel(std::string(hq ? "Gravelix HQ" : "Gravelix") + (clap ? " CLAP" : " VST 2.4") +
                   " stereo Hi-Gain");
    state.counters["per_frame"] = benchmark::Counter(static_cast<double>(block),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

// Arguments: HQ (0/1), block size. 44.1 kHz, stereo, Hi-Gain.
void BM_VstFrame(benchmark::State& state) {
    const bool hq = state.range(0) != 0;
    const auto block = static_cast<VstInt32>(state.range(1));
    VstEntry entry = vstEntry(hq ? GRAVELIX_HQ_PLUGIN : GRAVELIX_PLUGIN);
    AEffect* e = entry ? entry(vstHost) : nullptr;
    if (!e) {
        state.SkipWithError("plug-in not loaded");
        return;
    }
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    e->dispatcher(e, effSetBlockSize, 0, block, nullptr, 0.0f);
    e->dispatcher(e, effSetProgram, 0, 1, nullptr, 0.0f);
    e->setParameter(e, 8, 1.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    std::vector<float> l = noise(kFrames + 512, 1), r = noise(kFrames + 512, 2);
    std::vector<float> outL(512), outR(512);
    std::size_t offset = 0;
    for (auto _ : state) {
        float* in[2] = {l.data() + offset, r.data() + offset};
        float* out[2] = {outL.data(), outR.data()};
        e->processReplacing(e, in, out, block);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
        offset = (offset + static_cast<std::size_t>(block)) % kFrames;
    }
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    label(state, hq, false, block);
}

void BM_ClapFrame(benchmark::State& state) {
    const bool hq = state.range(0) != 0;
    const auto block = static_cast<std::uint32_t>(state.range(1));
    const clap_plugin_factory_t* factory = clapFactory(hq ? GRAVELIX_HQ_CLAP : GRAVELIX_CLAP);
    ClapHost host;
    const clap_plugin_t* p = factory ? clapCreate(factory, host) : nullptr;
    if (!p) {
        state.SkipWithError("plug-in not loaded");
        return;
    }
    auto* presets =
        static_cast<const clap_plugin_preset_load_t*>(p->get_extension(p, CLAP_EXT_PRESET_LOAD));
    if (presets) {
        presets->from_location(p, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "1");
    }
    p->activate(p, 44100.0, 1, block);
    p->start_processing(p);
    std::vector<float> l = noise(kFrames + 512, 1), r = noise(kFrames + 512, 2);
    std::vector<float> outL(512), outR(512);
    EventList events;
    events.count = 1; // Stereo on, with the first block
    float* in[2] = {};
    float* out[2] = {outL.data(), outR.data()};
    clap_audio_buffer_t inBuffer{in, nullptr, 2, 0, 0};
    clap_audio_buffer_t outBuffer{out, nullptr, 2, 0, 0};
    clap_process_t process{};
    process.frames_count = block;
    process.audio_inputs = &inBuffer;
    process.audio_outputs = &outBuffer;
    process.audio_inputs_count = 1;
    process.audio_outputs_count = 1;
    process.in_events = &events.in;
    process.out_events = &events.out;
    std::size_t offset = 0;
    for (auto _ : state) {
        in[0] = l.data() + offset;
        in[1] = r.data() + offset;
        p->process(p, &process);
        events.count = 0;
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
        offset = (offset + block) % kFrames;
    }
    p->stop_processing(p);
    p->deactivate(p);
    p->destroy(p);
    label(state, hq, true, block);
}

BENCHMARK(BM_VstFrame)->ArgNames({"hq", "block"})->ArgsProduct({{0, 1}, {64, 512}});
BENCHMARK(BM_ClapFrame)->ArgNames({"hq", "block"})->ArgsProduct({{0, 1}, {64, 512}});

// ---- Instances --------------------------------------------------------------------------------

// A later instance: the library loaded and one instance made before.
void BM_VstLaterInstance(benchmark::State& state) {
    VstEntry entry = vstEntry(GRAVELIX_PLUGIN);
    AEffect* first = entry ? entry(vstHost) : nullptr;
    if (!first) {
        state.SkipWithError("plug-in not loaded");
        return;
    }
    for (auto _ : state) {
        const auto start = Clock::now();
        AEffect* e = entry(vstHost);
        state.SetIterationTime(secondsSince(start));
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    }
    first->dispatcher(first, effClose, 0, 0, nullptr, 0.0f);
}
BENCHMARK(BM_VstLaterInstance)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_ClapLaterInstance(benchmark::State& state) {
    const clap_plugin_factory_t* factory = clapFactory(GRAVELIX_CLAP);
    ClapHost host;
    const clap_plugin_t* first = factory ? clapCreate(factory, host) : nullptr;
    if (!first) {
        state.SkipWithError("plug-in not loaded");
        return;
    }
    for (auto _ : state) {
        ClapHost other;
        const auto start = Clock::now();
        const clap_plugin_t* p = clapCreate(factory, other);
        state.SetIterationTime(secondsSince(start));
        p->destroy(p);
    }
    first->destroy(first);
}
BENCHMARK(BM_ClapLaterInstance)->UseManualTime()->Unit(benchmark::kMicrosecond);

// ---- Editor -----------------------------------------------------------------------------------

// The host's window, and the probe pixel at its middle as the screen shows it.
class Window1 {
public:
    explicit Window1(int scalePercent) {
        display = XOpenDisplay(nullptr);
        if (!display) {
            return;
        }
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        width = 270 * scalePercent / 100;
        height = 475 * scalePercent / 100;
        const int screen = DefaultScreen(display);
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(display, screen);
        window =
            XCreateWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 0, CopyFromParent, InputOutput,
                          CopyFromParent, CWBackPixel, &attributes);
        XMapWindow(display, window);
        XSync(display, False);
        usleep(50000);
    }
    ~Window1() {
        if (display) {
            XDestroyWindow(display, window);
            XCloseDisplay(display);
        }
    }
    bool ok() const { return display != nullptr; }
    ::Window id() const { return window; }
    unsigned long probe() {
        XImage* image = XGetImage(display, window, width / 2, height / 2, 1, 1, AllPlanes, ZPixmap);
        if (!image) {
            return 0;
        }
        const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        return pixel;
    }
    void waitForBlack() {
        for (int i = 0; i < 2000 && probe() != 0; ++i) {
            usleep(500);
        }
    }

private:
    Display* display = nullptr;
    ::Window window = 0;
    int width = 0;
    int height = 0;
};

// A later instance's editor, at a scale in percent: from gui.create until the first paint is on
// the screen, the host's timer firing as fast as the host asks.
void BM_ClapEditorOpenFirstPaint(benchmark::State& state) {
    const double scale = static_cast<double>(state.range(0)) / 100.0;
    Window1 window(static_cast<int>(state.range(0)));
    const clap_plugin_factory_t* factory = clapFactory(GRAVELIX_CLAP);
    ClapHost firstHost;
    const clap_plugin_t* first = factory ? clapCreate(factory, firstHost) : nullptr;
    if (!window.ok() || !first) {
        state.SkipWithError("no X display or no plug-in");
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        ClapHost host;
        const clap_plugin_t* p = clapCreate(factory, host);
        auto* gui = static_cast<const clap_plugin_gui_t*>(p->get_extension(p, CLAP_EXT_GUI));
        auto* timer = static_cast<const clap_plugin_timer_support_t*>(
            p->get_extension(p, CLAP_EXT_TIMER_SUPPORT));
        const auto start = Clock::now();
        gui->create(p, CLAP_WINDOW_API_X11, false);
        gui->set_scale(p, scale);
        std::uint32_t w = 0, h = 0;
        gui->get_size(p, &w, &h);
        clap_window_t parent{};
        parent.api = CLAP_WINDOW_API_X11;
        parent.x11 = window.id();
        gui->set_parent(p, &parent);
        gui->show(p);
        bool painted = false;
        do {
            timer->on_timer(p, host.timer);
            painted = window.probe() != 0;
        } while (!painted && secondsSince(start) < 2.0);
        const double seconds = secondsSince(start);
        gui->destroy(p);
        p->destroy(p);
        if (!painted) {
            state.SkipWithError("the editor never painted");
            break;
        }
        samples.push_back(seconds);
        state.SetIterationTime(seconds);
        window.waitForBlack();
    }
    first->destroy(first);
    if (!samples.empty()) {
        std::sort(samples.begin(), samples.end());
        state.counters["median"] = samples[samples.size() / 2];
    }
}
BENCHMARK(BM_ClapEditorOpenFirstPaint)
    ->Arg(100)
    ->Arg(150)
    ->Arg(200)
    ->Arg(300)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

#ifdef GRAVELIX_LV2_UI
// ---- LV2 UI -----------------------------------------------------------------------------------

// The host's side of an LV2 UI: a URID map and the scale in its options, as Ardour passes them.
struct Lv2UiHost {
    std::vector<std::string> uris;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                         auto& known = static_cast<Lv2UiHost*>(h)->uris;
                         for (std::size_t i = 0; i < known.size(); ++i) {
                             if (known[i] == uri) {
                                 return static_cast<LV2_URID>(i + 1);
                             }
                         }
                         known.emplace_back(uri);
                         return static_cast<LV2_URID>(known.size());
                     }};
    float scale;
    LV2_Options_Option options[2];

    explicit Lv2UiHost(float hostScale) : scale(hostScale) {
        options[0] = {LV2_OPTIONS_INSTANCE,
                      0,
                      map.map(this, LV2_UI__scaleFactor),
                      sizeof(float),
                      map.map(this, LV2_ATOM__Float),
                      &scale};
        options[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    }
    LV2UI_Handle open(const LV2UI_Descriptor* d, ::Window parent) {
        const LV2_Feature parentFeature{
            LV2_UI__parent, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent))};
        const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
        const LV2_Feature mapFeature{LV2_URID__map, &map};
        const LV2_Feature optionsFeature{LV2_OPTIONS__options, options};
        const LV2_Feature* features[] = {&parentFeature, &idleFeature, &mapFeature, &optionsFeature,
                                         nullptr};
        LV2UI_Widget widget = nullptr;
        return d->instantiate(
            d, "", "", [](LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {}, this,
            &widget, features);
    }
};

const LV2UI_Descriptor* lv2UiDescriptor(const char* path) {
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    using Entry = const LV2UI_Descriptor* (*)(uint32_t);
    auto entry = library ? reinterpret_cast<Entry>(dlsym(library, "lv2ui_descriptor")) : nullptr;
    return entry ? entry(0) : nullptr;
}

// The UI opened again after it was open before, at a scale in percent: from instantiate until
// its first paint is on the screen, the host's idle called as fast as it can.
void BM_Lv2UiWarmOpenFirstPaint(benchmark::State& state) {
    const auto scale = static_cast<float>(state.range(0)) / 100.0f;
    Window1 window(static_cast<int>(state.range(0)));
    const LV2UI_Descriptor* d = lv2UiDescriptor(GRAVELIX_LV2_UI);
    if (!window.ok() || !d) {
        state.SkipWithError("no X display or no UI library");
        return;
    }
    auto* idle = static_cast<const LV2UI_Idle_Interface*>(d->extension_data(LV2_UI__idleInterface));
    // One open and paint before the timing starts.
    bool warm = false;
    std::vector<double> samples;
    for (auto _ : state) {
        do {
            Lv2UiHost host(scale);
            const auto start = Clock::now();
            LV2UI_Handle ui = host.open(d, window.id());
            bool painted = false;
            while (ui && !painted && secondsSince(start) < 2.0) {
                idle->idle(ui);
                painted = window.probe() != 0;
            }
            const double seconds = secondsSince(start);
            if (ui) {
                d->cleanup(ui);
            }
            if (!painted) {
                state.SkipWithError("the UI never painted");
                return;
            }
            window.waitForBlack();
            if (warm) {
                samples.push_back(seconds);
                state.SetIterationTime(seconds);
            }
        } while (!std::exchange(warm, true));
    }
    std::sort(samples.begin(), samples.end());
    state.counters["median"] = samples[samples.size() / 2];
}
BENCHMARK(BM_Lv2UiWarmOpenFirstPaint)
    ->Arg(100)
    ->Arg(150)
    ->Arg(200)
    ->Arg(300)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();

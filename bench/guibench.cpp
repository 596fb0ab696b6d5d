// What a host waits for outside the audio path, measured as a host sees it: the plug-in library
// loaded with dlopen, VSTPluginMain for the first instance of a fresh process and for later
// ones, effEditOpen until the first paint reaches the screen (first editor of a fresh process
// at 1x and at 2x, and a later instance's at 1x, 1.5x and 2x; the scale told as a host tells
// it), the same as a DAW opens a pedal (0.6 s after the instance was made, in a fresh process,
// with and without this user's last size in the settings), a full-window repaint at 1x and
// 1.5x, an editor idle call with nothing to repaint, and the knob turned one step by the
// host until it shows on screen at 1x, 1.5x and 3x. Wall-clock times:
// google-benchmark's time is the mean, the counters "best" and "median" are in seconds with an SI
// prefix (390n is 390 ns, 0.51m is 0.51 ms). The editor figures need an X display
// (scripts/with-display.sh) and are skipped without one.
#include <benchmark/benchmark.h>

#include "plugin/aeffect.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Entry = AEffect* (*)(audioMasterCallback);

constexpr int kWidth = 270;
constexpr int kHeight = 475;
// A pixel of the front panel, which the host window's black never shows.
constexpr int kProbeX = kWidth / 2;
constexpr int kProbeY = kHeight / 2;

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// BENCH_PLUGIN names another build of the plug-in to measure (an older one, say).
const char* pluginPath() {
    const char* other = std::getenv("BENCH_PLUGIN");
    return other && *other ? other : GRAVELIX_PLUGIN;
}

Entry loadEntry() {
    void* library = dlopen(pluginPath(), RTLD_NOW | RTLD_LOCAL);
    return library ? reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain")) : nullptr;
}

VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, void* ptr = nullptr) {
    return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f);
}

// The host's vendor-specific message with the editor's scale; 1 tells nothing.
void tellScale(AEffect* effect, double scale) {
    if (scale != 1.0) {
        effect->dispatcher(effect, effVendorSpecific, 0x50726553 /* 'PreS' */,
                           0x41654373 /* 'AeCs' */, nullptr, static_cast<float>(scale));
    }
}

AEffect* openInstance(Entry entry) {
    AEffect* effect = entry(hostCallback);
    if (effect) {
        dispatch(effect, effOpen);
    }
    return effect;
}

void closeInstance(AEffect* effect) {
    if (effect) {
        dispatch(effect, effClose);
    }
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The host's top-level window, on a connection of the benchmark's own.
class Host {
public:
    Host() {
        display = XOpenDisplay(nullptr);
        if (!display) {
            return;
        }
        // A pixel read from a window that is not (yet) on screen fails; it reads as black.
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        const int screen = DefaultScreen(display);
        XSetWindowAttributes attributes{};
        attributes.background_pixel = BlackPixel(display, screen);
        attributes.event_mask = StructureNotifyMask;
        window = XCreateWindow(display, RootWindow(display, screen), 0, 0, kWidth, kHeight, 0,
                               CopyFromParent, InputOutput, CopyFromParent,
                               CWBackPixel | CWEventMask, &attributes);
        XMapWindow(display, window);
        XEvent event;
        for (int i = 0; i < 2000; ++i) {
            if (XCheckTypedWindowEvent(display, window, MapNotify, &event)) {
                break;
            }
            usleep(500);
        }
        gc = XCreateGC(display, window, 0, nullptr);
    }
    ~Host() {
        if (!display) {
            return;
        }
        XFreeGC(display, gc);
        XDestroyWindow(display, window);
        XCloseDisplay(display);
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    bool ok() const { return display != nullptr; }
    void* parent() const { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)); }

    // The probe pixel as the screen shows it (the editor's window included).
    unsigned long probe() {
        XImage* image = XGetImage(display, window, kProbeX, kProbeY, 1, 1, AllPlanes, ZPixmap);
        if (!image) {
            return 0;
        }
        const unsigned long pixel = XGetPixel(image, 0, 0) & 0xFFFFFF;
        XDestroyImage(image);
        return pixel;
    }

    // One row of `width` pixels from (x, y) of the host window, as the screen shows it.
    std::vector<unsigned long> row(int x, int y, int width) {
        std::vector<unsigned long> pixels;
        XImage* image =
            XGetImage(display, window, x, y, static_cast<unsigned>(width), 1, AllPlanes, ZPixmap);
        if (!image) {
            return pixels;
        }
        for (int i = 0; i < width; ++i) {
            pixels.push_back(XGetPixel(image, i, 0) & 0xFFFFFF);
        }
        XDestroyImage(image);
        return pixels;
    }

    // Idles `effect` until the probe pixel is no longer `before`; false after two seconds.
    bool idleUntilProbeChanges(AEffect* effect, unsigned long before) {
        const auto start = Clock::now();
        do {
            dispatch(effect, effEditIdle);
            if (probe() != before) {
                return true;
            }
        } while (secondsSince(start) < 2.0);
        return false;
    }

    // Opens `effect`'s editor in this window: the seconds until its first paint reaches the
    // screen, negative if it never does.
    double timeEditorOpen(AEffect* effect) {
        const auto start = Clock::now();
        dispatch(effect, effEditOpen, parent());
        return idleUntilProbeChanges(effect, 0) ? secondsSince(start) : -1;
    }

    // Waits until the closed editor's window is gone from the screen.
    void waitForBlack() {
        for (int i = 0; i < 2000 && probe() != 0; ++i) {
            usleep(500);
        }
    }

    // Paints the editor's window magenta and has the server expose all of it, as when a
    // covering window goes away.
    unsigned long exposeEditor() {
        Window root, parentWindow, *children = nullptr;
        unsigned count = 0;
        XQueryTree(display, window, &root, &parentWindow, &children, &count);
        if (count == 0) {
            return 0;
        }
        const Window editor = children[0];
        XFree(children);
        XSetForeground(display, gc, 0xFF00FF);
        XFillRectangle(display, editor, gc, 0, 0, kWidth, kHeight);
        XClearArea(display, editor, 0, 0, 0, 0, True);
        XSync(display, False);
        return 0xFF00FF;
    }

private:
    Display* display = nullptr;
    Window window = 0;
    GC gc = nullptr;
};

// One iteration's seconds as its manual time and a sample for report(); a negative time (a
// failure) skips the benchmark with `error` and answers false.
bool addSample(benchmark::State& state, std::vector<double>& samples, double seconds,
               const char* error) {
    if (seconds < 0) {
        state.SkipWithError(error);
        return false;
    }
    samples.push_back(seconds);
    state.SetIterationTime(seconds);
    return true;
}

// Best, median and (as the benchmark's time) mean of the samples.
void report(benchmark::State& state, std::vector<double>& seconds) {
    if (seconds.empty()) {
        return;
    }
    std::sort(seconds.begin(), seconds.end());
    state.counters["best"] = seconds.front();
    state.counters["median"] = seconds[seconds.size() / 2];
}

// ---- Child processes: the first instance and first editor of a fresh process ----------------

// Prints the seconds that VSTPluginMain (and with `editor`, effEditOpen until the first paint)
// took in this process, in which nothing of the plug-in ran before.
int firstInProcess(bool editor, double scale) {
    Entry entry = loadEntry();
    if (!entry) {
        return 1;
    }
    std::unique_ptr<Host> host;
    if (editor) {
        host = std::make_unique<Host>();
        if (!host->ok()) {
            return 1;
        }
    }
    const auto start = Clock::now();
    AEffect* effect = entry(hostCallback);
    double seconds = secondsSince(start);
    if (!effect) {
        return 1;
    }
    dispatch(effect, effOpen);
    if (editor) {
        tellScale(effect, scale);
        seconds = host->timeEditorOpen(effect);
        if (seconds < 0) {
            return 1;
        }
        dispatch(effect, effEditClose);
    }
    closeInstance(effect);
    std::printf("%.9f\n", seconds);
    return 0;
}

// As a DAW opens a pedal: the instance made, `waitSeconds` later the host's scale message,
// effEditGetRect and effEditOpen; prints the seconds from effEditOpen until the first paint.
// With `hint`, this user's last editor opened at `scale` (the settings' hint), as when the
// player always works at that size; without, nothing was ever opened before.
int waitedEditorInProcess(double scale, bool hint) {
    char folder[] = "/tmp/gravelix-gui-bench-XXXXXX";
    if (!mkdtemp(folder)) {
        return 1;
    }
    const std::string settings = std::string(folder) + "/gravelix";
    mkdir(settings.c_str(), 0700);
    if (hint) {
        if (FILE* file = std::fopen((settings + "/settings.txt").c_str(), "w")) {
            std::fprintf(file, "gravelix-settings 1\nlast-editor-scale %g\nend\n", scale);
            std::fclose(file);
        }
    }
    setenv("XDG_CONFIG_HOME", folder, 1);
    Entry entry = loadEntry();
    Host host;
    if (!entry || !host.ok()) {
        return 1;
    }
    AEffect* effect = openInstance(entry);
    if (!effect) {
        return 1;
    }
    usleep(600000);
    tellScale(effect, scale);
    ERect* rect = nullptr;
    effect->dispatcher(effect, effEditGetRect, 0, 0, &rect, 0.0f);
    const double seconds = host.timeEditorOpen(effect);
    dispatch(effect, effEditClose);
    closeInstance(effect);
    std::remove((settings + "/settings.txt").c_str());
    rmdir(settings.c_str());
    rmdir(folder);
    if (seconds < 0) {
        return 1;
    }
    std::printf("%.9f\n", seconds);
    return 0;
}

// Runs this program again with `mode` and reads the seconds it prints; negative on failure.
double runChild(const char* mode, const char* extra = nullptr) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    char self[] = "/proc/self/exe";
    std::string argument = mode;
    std::string second = extra ? extra : "";
    char* argv[] = {self, argument.data(), extra ? second.data() : nullptr, nullptr};
    pid_t child = 0;
    const int failed = posix_spawn(&child, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    char text[64] = {};
    ssize_t length = 0;
    if (!failed) {
        length = read(pipeEnds[0], text, sizeof text - 1);
    }
    close(pipeEnds[0]);
    int status = 0;
    if (!failed) {
        waitpid(child, &status, 0);
    }
    if (failed || length <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return std::strtod(text, nullptr);
}

void childBenchmark(benchmark::State& state, const char* mode) {
    std::vector<double> samples;
    for (auto _ : state) {
        if (!addSample(state, samples, runChild(mode), "the child process failed (no display?)")) {
            break;
        }
    }
    report(state, samples);
}

// What each child process measures, and the benchmark that runs it.
struct ChildMode {
    const char* benchmark;
    const char* argument;
    bool editor;
    double scale;
    int iterations;
};
constexpr ChildMode kChildModes[] = {
    {"BM_FirstInstanceInProcess", "--first-instance", false, 1.0, 30},
    {"BM_FirstEditorOpenInProcess", "--first-editor", true, 1.0, 15},
    {"BM_FirstEditorOpenInProcess2x", "--first-editor-2x", true, 2.0, 15},
};

// Static, as BENCHMARK registers, so that the child benchmarks keep running first.
[[maybe_unused]] const bool childBenchmarksRegistered = [] {
    for (const ChildMode& mode : kChildModes) {
        benchmark::RegisterBenchmark(mode.benchmark, childBenchmark, mode.argument)
            ->UseManualTime()
            ->Iterations(mode.iterations)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

// The argument: the scale in percent; "hint" in the name when the settings hold that size.
void waitedEditorBenchmark(benchmark::State& state, bool hint) {
    const std::string percent = std::to_string(state.range(0));
    std::vector<double> samples;
    for (auto _ : state) {
        if (!addSample(state, samples,
                       runChild(hint ? "--waited-editor-hint" : "--waited-editor", percent.c_str()),
                       "the child process failed (no display?)")) {
            break;
        }
    }
    report(state, samples);
}

[[maybe_unused]] const bool waitedBenchmarksRegistered = [] {
    for (const bool hint : {true, false}) {
        auto* family = benchmark::RegisterBenchmark(hint ? "BM_EditorOpenAfterWaitSizeHinted"
                                                         : "BM_EditorOpenAfterWaitNoHint",
                                                    waitedEditorBenchmark, hint);
        for (const int percent : {100, 125, 150, 200, 300}) {
            if (hint || percent == 100 || percent == 150 || percent == 200) {
                family->Arg(percent);
            }
        }
        // Each sample waits 0.6 s: few of them.
        family->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
    }
    return true;
}();

// ---- In this process, with a first instance alive whose editor has been open ------------------

struct Session {
    Entry entry = nullptr;
    AEffect* first = nullptr;
    Host host;
    bool editorOk = false;

    Session() {
        entry = loadEntry();
        if (!entry) {
            return;
        }
        first = openInstance(entry);
        if (!first || !host.ok()) {
            return;
        }
        editorOk = host.timeEditorOpen(first) >= 0;
        dispatch(first, effEditClose);
        host.waitForBlack();
    }
    ~Session() { closeInstance(first); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

Session& session() {
    static Session s;
    return s;
}

// The session, or null (and the benchmark skipped) when there is no editor to measure.
Session* editorSession(benchmark::State& state) {
    Session& s = session();
    if (!s.editorOk) {
        state.SkipWithError("no X display or no editor");
        return nullptr;
    }
    return &s;
}

void BM_LaterInstance(benchmark::State& state) {
    Session& s = session();
    if (!s.first) {
        state.SkipWithError("cannot load the plug-in");
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = Clock::now();
        AEffect* effect = s.entry(hostCallback);
        addSample(state, samples, secondsSince(start), "");
        dispatch(effect, effOpen);
        closeInstance(effect);
    }
    report(state, samples);
}
BENCHMARK(BM_LaterInstance)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The editor benchmarks' argument: the scale in percent.
void atEditorScales(benchmark::internal::Benchmark* family) {
    family->Arg(100)->Arg(150)->Arg(200)->UseManualTime()->Unit(benchmark::kMillisecond);
}

void BM_SecondEditorOpenFirstPaint(benchmark::State& state) {
    Session* s = editorSession(state);
    if (!s) {
        return;
    }
    const double scale = state.range(0) / 100.0;
    std::vector<double> samples;
    for (auto _ : state) {
        AEffect* second = openInstance(s->entry);
        tellScale(second, scale);
        const double seconds = s->host.timeEditorOpen(second);
        dispatch(second, effEditClose);
        closeInstance(second);
        if (!addSample(state, samples, seconds, "the editor never painted")) {
            break;
        }
        s->host.waitForBlack();
    }
    report(state, samples);
}
BENCHMARK(BM_SecondEditorOpenFirstPaint)->Apply(atEditorScales);

// The same instance's editor closed and opened again at a scale (in percent) it has shown before.
void BM_ReopenEditorFirstPaint(benchmark::State& state) {
    Session* s = editorSession(state);
    if (!s) {
        return;
    }
    AEffect* effect = openInstance(s->entry);
    tellScale(effect, state.range(0) / 100.0);
    s->host.timeEditorOpen(effect);
    dispatch(effect, effEditClose);
    s->host.waitForBlack();
    std::vector<double> samples;
    for (auto _ : state) {
        const double seconds = s->host.timeEditorOpen(effect);
        dispatch(effect, effEditClose);
        if (!addSample(state, samples, seconds, "the editor never painted")) {
            break;
        }
        s->host.waitForBlack();
    }
    closeInstance(effect);
    report(state, samples);
}
BENCHMARK(BM_ReopenEditorFirstPaint)->Apply(atEditorScales);

// Editor of the first instance open and painted for the next two.
bool openFirstEditor(benchmark::State& state) {
    Session* s = editorSession(state);
    return s && s->host.timeEditorOpen(s->first) >= 0;
}

void closeFirstEditor() {
    dispatch(session().first, effEditClose);
    session().host.waitForBlack();
}

// The argument: the scale in percent, the first instance's editor opened at it.
void BM_FullRepaint(benchmark::State& state) {
    Session& s = session();
    if (s.first) {
        // Told even at 1x, which undoes an earlier size.
        s.first->dispatcher(s.first, effVendorSpecific, 0x50726553, 0x41654373, nullptr,
                            static_cast<float>(state.range(0) / 100.0));
    }
    if (!openFirstEditor(state)) {
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        const unsigned long marker = s.host.exposeEditor();
        const auto start = Clock::now();
        const bool painted = s.host.idleUntilProbeChanges(s.first, marker);
        if (!addSample(state, samples, painted ? secondsSince(start) : -1,
                       "the editor never repainted")) {
            break;
        }
    }
    closeFirstEditor();
    report(state, samples);
}
BENCHMARK(BM_FullRepaint)->Arg(100)->Arg(150)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_IdleNothingToRepaint(benchmark::State& state) {
    Session& s = session();
    if (s.first) {
        s.first->dispatcher(s.first, effVendorSpecific, 0x50726553, 0x41654373, nullptr, 1.0f);
    }
    if (!openFirstEditor(state)) {
        return;
    }
    AEffect* effect = session().first;
    for (auto _ : state) {
        dispatch(effect, effEditIdle);
    }
    closeFirstEditor();
}
BENCHMARK(BM_IdleNothingToRepaint)->Unit(benchmark::kMicrosecond);

// The Output knob turned by the host (the parameter's value told, as automation does) until
// the knob shows its new position on screen; the argument is the scale in percent.
void BM_KnobStep(benchmark::State& state) {
    Session& s = session();
    const double scale = state.range(0) / 100.0;
    if (s.first) {
        s.first->dispatcher(s.first, effVendorSpecific, 0x50726553, 0x41654373, nullptr,
                            static_cast<float>(scale));
    }
    if (!openFirstEditor(state)) {
        return;
    }
    // A row just above the knob's centre (1x: 16..135, 29..148), which its pointer crosses at
    // a quarter and at three quarters; within the host's window at every size.
    const int left = static_cast<int>(16 * scale);
    const int width = std::min(static_cast<int>(119 * scale), kWidth - left);
    const int y = static_cast<int>((29 + 56) * scale);
    AEffect* effect = s.first;
    std::vector<double> samples;
    // Each step goes to the other side of the knob from where it is.
    float value = effect->getParameter(effect, 0);
    for (auto _ : state) {
        value = value < 0.5f ? 0.75f : 0.25f;
        const std::vector<unsigned long> before = s.host.row(left, y, width);
        const auto start = Clock::now();
        effect->setParameter(effect, 0, value);
        bool shown = false;
        do {
            dispatch(effect, effEditIdle);
            shown = s.host.row(left, y, width) != before;
        } while (!shown && secondsSince(start) < 2.0);
        if (!addSample(state, samples, shown ? secondsSince(start) : -1,
                       "the knob never moved on screen")) {
            break;
        }
    }
    closeFirstEditor();
    report(state, samples);
}
BENCHMARK(BM_KnobStep)
    ->Arg(100)
    ->Arg(150)
    ->Arg(300)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    // No player's choice from this user's settings: the scale is the one each benchmark tells.
    // The editors keep the size they opened at in a settings folder of the run's own.
    char config[] = "/tmp/gravelix-gui-bench-XXXXXX";
    const bool ownConfig = argc == 1 || std::strncmp(argv[1], "--", 2) != 0 ||
                           std::strncmp(argv[1], "--benchmark", 11) == 0;
    if (ownConfig && mkdtemp(config)) {
        setenv("XDG_CONFIG_HOME", config, 1);
    }
    unsetenv("GDK_SCALE");
    if (argc == 3 && (std::strcmp(argv[1], "--waited-editor") == 0 ||
                      std::strcmp(argv[1], "--waited-editor-hint") == 0)) {
        return waitedEditorInProcess(std::atof(argv[2]) / 100.0,
                                     std::strcmp(argv[1], "--waited-editor-hint") == 0);
    }
    for (const ChildMode& mode : kChildModes) {
        if (argc == 2 && std::strcmp(argv[1], mode.argument) == 0) {
            // A fresh process of a user who never opened an editor: no settings, none kept.
            setenv("XDG_CONFIG_HOME", "/dev/null/gravelix-gui-bench", 1);
            return firstInProcess(mode.editor, mode.scale);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (ownConfig) {
        const std::string settings = std::string(config) + "/gravelix";
        std::remove((settings + "/settings.txt").c_str());
        rmdir(settings.c_str());
        rmdir(config);
    }
    return 0;
}

// Guards the editor above 1x in a real X server against a size taken from the wrong source or
// in the wrong order, artwork shown blurred or misplaced, pointer gestures that move a control
// more or less than at 1x or miss it, and a size menu that opens over controls or resizes
// nothing.
#include "panelpicture.h"
#include "tools/hosting/hostwindow.h"
#include "tools/hosting/pluginhost.h"

#include <cairo.h>
#include <gtest/gtest.h>
// After the test framework: the X headers define macros such as None and Bool.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {

using gravelix::host::HostCall;
using gravelix::host::HostWindow;
using gravelix::host::PluginHost;
namespace fs = std::filesystem;
using namespace editortest;

constexpr VstInt32 kScaleMessage = 0x50726553; // 'PreS'
constexpr VstIntPtr kScaleValue = 0x41654373;  // 'AeCs'

constexpr Rect kInputFader{68, 55, 100, 157};
constexpr Rect kLowCutFader{173, 328, 205, 430};
constexpr Rect kStereoSwitch{161, 54, 211, 78};
// A spot of the front panel that no control covers.
constexpr double kEmptyX = 40, kEmptyY = 200;

int channel(std::uint32_t p, int shift) {
    return int((p >> shift) & 0xFF);
}

// Each 2 x 2 block averaged into one pixel.
Image boxFilteredHalf(const Image& big) {
    Image out{big.width / 2, big.height / 2, {}};
    out.pixels.resize(std::size_t(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            std::uint32_t pixel = 0;
            for (int shift : {0, 8, 16}) {
                int sum = 0;
                for (int dy = 0; dy < 2; ++dy) {
                    for (int dx = 0; dx < 2; ++dx) {
                        sum += channel(big.pixels[std::size_t(2 * y + dy) * big.width + 2 * x + dx],
                                       shift);
                    }
                }
                pixel |= std::uint32_t((sum + 2) / 4) << shift;
            }
            out.pixels[std::size_t(y) * out.width + x] = pixel;
        }
    }
    return out;
}

void setXftDpi(const char* dpi) {
    // An empty database when dpi is null, so no earlier test's value lingers.
    const std::string command = dpi ? std::string("echo 'Xft.dpi: ") + dpi + "' | xrdb -load -"
                                    : std::string("xrdb -load /dev/null");
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

class ScaledEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        config = fs::temp_directory_path() /
                 ("gravelix-scale-test-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(config);
        fs::create_directories(config);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        unsetenv("GDK_SCALE");
        setXftDpi(nullptr);
        input = XOpenDisplay(nullptr);
        ASSERT_NE(input, nullptr);
        parkPointer();
    }
    void TearDown() override {
        if (open) {
            plugin->dispatch(effEditClose);
            window->pump(0);
        }
        if (plugin) {
            checkBalancedGestures();
        }
        window.reset();
        plugin.reset();
        if (input) {
            XCloseDisplay(input);
        }
        setXftDpi(nullptr);
        unsetenv("GDK_SCALE");
        fs::remove_all(config);
    }

    // A new instance: its editor reads the environment and settings as they are now.
    void load() { plugin = std::make_unique<PluginHost>(GRAVELIX_PLUGIN); }

    std::pair<int, int> editorSize() {
        ERect* rect = nullptr;
        EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
        if (!rect) {
            return {0, 0};
        }
        return {rect->right - rect->left, rect->bottom - rect->top};
    }
    void tellScale(float scale) {
        EXPECT_EQ(plugin->dispatch(effVendorSpecific, kScaleMessage, kScaleValue, nullptr, scale),
                  1);
    }
    // Opens the editor in a host window of the size the editor asks for.
    void openEditor(bool hostSizes = true) {
        const auto [w, h] = editorSize();
        window = std::make_unique<HostWindow>(w, h, "scaled editor test");
        if (hostSizes) {
            plugin->state().setSizeWindowHandler([this](int width, int height) {
                window->resize(width, height);
                return true;
            });
        }
        const auto parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window->id()));
        ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, parent), 1);
        open = true;
        window->waitMapped();
        idle(8);
        scale = double(w) / kWidth;
    }
    void idle(int times = 1) {
        for (int i = 0; i < times; ++i) {
            plugin->dispatch(effEditIdle);
            window->pump(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // The size of the editor's own X window (the host window's only child).
    std::pair<int, int> childSize() {
        for (int attempt = 0; attempt < 100; ++attempt) {
            idle();
            Window root, parent, *children = nullptr;
            unsigned count = 0;
            if (XQueryTree(input, window->id(), &root, &parent, &children, &count) && count == 1) {
                XWindowAttributes a{};
                XGetWindowAttributes(input, children[0], &a);
                XFree(children);
                return {a.width, a.height};
            }
            if (children) {
                XFree(children);
            }
        }
        return {0, 0};
    }
    std::pair<int, int> hostWindowSize() {
        XSync(input, False);
        XWindowAttributes a{};
        XGetWindowAttributes(input, window->id(), &a);
        return {a.width, a.height};
    }
    // Until two captures a little apart agree.
    Image settled() {
        Image last = window->capture();
        for (int i = 0; i < 50; ++i) {
            idle(3);
            Image next = window->capture();
            if (next == last) {
                return next;
            }
            last = std::move(next);
        }
        return last;
    }

    // Real pointer input at window pixels.
    void moveTo(double x, double y) {
        Window child;
        int rx, ry;
        XTranslateCoordinates(input, window->id(), DefaultRootWindow(input), int(std::lround(x)),
                              int(std::lround(y)), &rx, &ry, &child);
        XTestFakeMotionEvent(input, DefaultScreen(input), rx, ry, CurrentTime);
        XSync(input, False);
        idle(2);
    }
    void button(unsigned which, bool down) {
        XTestFakeButtonEvent(input, which, down, CurrentTime);
        XSync(input, False);
        idle(2);
    }
    void parkPointer() {
        XTestFakeMotionEvent(input, DefaultScreen(input), 1270, 1010, CurrentTime);
        XSync(input, False);
    }
    // A click at a point of the 1x layout, wherever the current scale puts it.
    void clickUnits(double x, double y, unsigned which = 1) {
        moveTo(x * scale, y * scale);
        button(which, true);
        button(which, false);
        parkPointer();
        idle(2);
    }
    // With the editor opened at `hostScale`: a click on the footswitch switches the effect, one on
    // tweak turns to the back panel, where a click on the stereo switch switches it.
    void expectClicksHitAt(float hostScale) {
        load();
        tellScale(hostScale);
        openEditor();
        const float effect = plugin->getParameter(9);
        clickUnits(kFootswitch.cx(), kFootswitch.cy());
        EXPECT_NE(plugin->getParameter(9), effect) << "the footswitch was missed";
        clickUnits(kTweak.cx(), kTweak.cy());
        const float stereo = plugin->getParameter(8);
        clickUnits(kStereoSwitch.cx(), kStereoSwitch.cy());
        EXPECT_NE(plugin->getParameter(8), stereo) << "tweak or the switch was missed";
    }
    // Presses near a control's centre, moves the pointer `units` up (a multiple of 8) in four
    // steps, releases. Even unit coordinates are whole device pixels at every tested scale,
    // so the plug-in sees exactly the same unit positions as at 1x.
    void dragUpUnits(const Rect& control, int units) {
        const double x = 2 * std::floor(control.cx() / 2) * scale;
        const double y = 2 * std::floor(control.cy() / 2) * scale;
        moveTo(x, y);
        button(1, true);
        const double pixels = units * scale;
        for (int step = 1; step <= 4; ++step) {
            moveTo(x, y - pixels * step / 4);
        }
        button(1, false);
        parkPointer();
        idle(2);
    }

    void checkBalancedGestures() {
        std::map<VstInt32, int> open;
        for (const HostCall& call : plugin->state().calls()) {
            if (call.opcode == audioMasterBeginEdit) {
                EXPECT_EQ(open[call.index]++, 0) << "nested begin for " << call.index;
            } else if (call.opcode == audioMasterEndEdit) {
                EXPECT_EQ(--open[call.index], 0) << "end without begin for " << call.index;
            } else if (call.opcode == audioMasterAutomate && call.index != 9) {
                EXPECT_EQ(open[call.index], 1) << "automation outside a gesture " << call.index;
            }
        }
        for (const auto& [index, depth] : open) {
            EXPECT_EQ(depth, 0) << "gesture left open for " << index;
        }
    }

    fs::path config;
    Display* input = nullptr;
    std::unique_ptr<PluginHost> plugin;
    std::unique_ptr<HostWindow> window;
    bool open = false;
    double scale = 1.0;
};

// ---- Where the size comes from, and in which order ----------------------------------------

TEST_F(ScaledEditorTest, WithoutAnySourceTheEditorIs1x) {
    load();
    EXPECT_EQ(editorSize(), std::make_pair(kWidth, kHeight));
    openEditor();
    EXPECT_EQ(editorSize(), std::make_pair(kWidth, kHeight));
    EXPECT_EQ(childSize(), std::make_pair(kWidth, kHeight));
}

TEST_F(ScaledEditorTest, TheHostsMessageSizesTheEditorBeforeAndAfterOpen) {
    load();
    tellScale(1.5f);
    EXPECT_EQ(editorSize(), std::make_pair(405, 713)); // 712.5 rounded outwards
    openEditor();
    EXPECT_EQ(editorSize(), std::make_pair(405, 713));
    EXPECT_EQ(childSize(), std::make_pair(405, 713));
    // Another vendor message is not ours.
    EXPECT_EQ(plugin->dispatch(effVendorSpecific, kScaleMessage, 0, nullptr, 2.0f), 0);
}

TEST_F(ScaledEditorTest, XftDpiFromTheResourceDatabaseIsTheSystemScale) {
    setXftDpi("192");
    load();
    EXPECT_EQ(editorSize(), std::make_pair(540, 950));
    setXftDpi("130"); // 1.35: the nearest supported is 1.25
    load();
    EXPECT_EQ(editorSize(), std::make_pair(338, 594));
}

TEST_F(ScaledEditorTest, AnIntegerGdkScaleCountsOnlyWithoutXftDpi) {
    setenv("GDK_SCALE", "2", 1);
    load();
    EXPECT_EQ(editorSize(), std::make_pair(540, 950));
    setenv("GDK_SCALE", "1.5", 1); // not an integer: ignored
    load();
    EXPECT_EQ(editorSize(), std::make_pair(kWidth, kHeight));
    setenv("GDK_SCALE", "2", 1);
    setXftDpi("144");
    load();
    EXPECT_EQ(editorSize(), std::make_pair(405, 713));
}

TEST_F(ScaledEditorTest, TheHostBeatsTheSystem) {
    setXftDpi("192");
    setenv("GDK_SCALE", "3", 1);
    load();
    tellScale(1.25f);
    EXPECT_EQ(editorSize(), std::make_pair(338, 594));
}

TEST_F(ScaledEditorTest, ThePlayersChoiceBeatsHostXftDpiAndGdkScale) {
    fs::create_directories(config / "gravelix");
    std::ofstream(config / "gravelix" / "settings.txt", std::ios::binary)
        << "gravelix-settings 1\neditor-scale 1.75\nend\n";
    setXftDpi("192");
    setenv("GDK_SCALE", "3", 1);
    load();
    tellScale(2.5f);
    EXPECT_EQ(editorSize(), std::make_pair(473, 832));
    openEditor();
    EXPECT_EQ(childSize(), std::make_pair(473, 832));
}

TEST_F(ScaledEditorTest, ABrokenSettingsFileLeavesTheOtherSources) {
    fs::create_directories(config / "gravelix");
    std::ofstream(config / "gravelix" / "settings.txt", std::ios::binary)
        << "gravelix-settings 1\neditor-scale 3\n"; // cut off before its end line
    load();
    tellScale(2.0f);
    EXPECT_EQ(editorSize(), std::make_pair(540, 950));
}

TEST_F(ScaledEditorTest, TheLastOpenedSizeIsKeptAsAHintThatSizesNothing) {
    // Opened at the host's 1.5x: the next instance prepares 1.5x, but without a source of its
    // own it is still 1x, and the system's scale still beats the hint.
    load();
    tellScale(1.5f);
    openEditor();
    plugin->dispatch(effEditClose);
    window->pump(0);
    open = false;
    std::ifstream file(config / "gravelix" / "settings.txt");
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    EXPECT_NE(text.find("last-editor-scale 1.5\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\neditor-scale"), std::string::npos)
        << "the hint was taken for a choice: " << text;
    load();
    EXPECT_EQ(editorSize(), std::make_pair(kWidth, kHeight));
    setXftDpi("192");
    load();
    EXPECT_EQ(editorSize(), std::make_pair(540, 950));
}

TEST_F(ScaledEditorTest, InstancesDroppedWhileDecodingAheadGoCleanly) {
    // The first instance starts the library's decoding thread; deleting the last one at once
    // must stop and join it, not leave it running into an unloaded library.
    setXftDpi("192");
    for (int i = 0; i < 10; ++i) {
        load();
        tellScale(i % 2 ? 2.0f : 1.5f); // the 2x images, the most work
        plugin.reset();
    }
    load();
    EXPECT_EQ(editorSize(), std::make_pair(540, 950));
}

// CPU seconds this process has used, on every thread.
double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

TEST_F(ScaledEditorTest, TheDecodingThreadRestsOnceItsImagesAreReady) {
    // A thread that went on preparing the same size again and again cost a core for as long as
    // an instance lived. With the test's own thread asleep, a quiet spell of 300 ms must come.
    load();
    tellScale(2.0f); // the most work: the 2x images, the knob's pictures last
    bool rested = false;
    for (int spell = 0; spell < 30 && !rested; ++spell) {
        const double before = processCpuSeconds();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        rested = processCpuSeconds() - before < 0.03;
    }
    EXPECT_TRUE(rested) << "the decoding thread never stopped working";
}

// ---- Sharp artwork at 2x ------------------------------------------------------------------

TEST_F(ScaledEditorTest, At2xBothPanelsMatchTheirGoldensAndTheir1xPictures) {
    load();
    tellScale(2.0f);
    openEditor();
    const Image front = settled();
    clickUnits(kTweak.cx(), kTweak.cy());
    const Image back = settled();
    for (const auto& [image, name] : {std::pair{&front, "front"}, std::pair{&back, "back"}}) {
        ASSERT_EQ(image->width, 540);
        ASSERT_EQ(image->height, 950);
        const Image golden = loadImage(kGolden / (std::string(name) + "_2x.png"));
        const int off = countDifferent(*image, golden, 2);
        EXPECT_EQ(off, 0) << name << ": " << off << " pixels differ from the 2x golden";
        // Drawn at 2x from the same code, so the average of each 2 x 2 block is near the 1x
        // pixel everywhere but on the edges of lettering and lines.
        const Image one = loadImage(kGolden / (std::string(name) + ".png"));
        const int far = countDifferent(boxFilteredHalf(*image), one, 24);
        EXPECT_TRUE(far >= 0 && far < kWidth * kHeight / 50)
            << name << ": " << far << " pixels far from the 1x golden after a box filter";
        std::printf("%s: box-filtered 2x vs 1x: %d pixels beyond 24 levels, %d beyond 6\n", name,
                    far, countDifferent(boxFilteredHalf(*image), one, 6));
        if (off != 0) {
            saveForInspection(*image, std::string(name) + "_2x.png");
        }
    }
}

// ---- In-between sizes: resampled once, the same pixels however much is repainted -----------

// Resampling each repainted part on its own made a part's pixels depend on where the repaint
// began, so a partly covered editor showed seams. Every paint now copies one resampling.
TEST_F(ScaledEditorTest, APartRepaintedAtAnInBetweenSizeMatchesTheFirstPaint) {
    for (const float size : {1.5f, 1.25f}) {
        load();
        tellScale(size);
        openEditor();
        const Image first = settled();
        Window root, parent, *children = nullptr;
        unsigned count = 0;
        ASSERT_TRUE(XQueryTree(input, window->id(), &root, &parent, &children, &count) &&
                    count == 1);
        const Window editor = children[0];
        XFree(children);
        // Odd pixel edges, across the panel, a knob and the footswitch.
        XClearArea(input, editor, 101, 67, 157, 401, True);
        XSync(input, False);
        const Image repainted = settled();
        const int off = countDifferent(first, repainted, 0);
        EXPECT_EQ(off, 0) << off << " pixels changed by a partial repaint at " << size << "x";
        if (off != 0) {
            saveForInspection(repainted, "repainted_" + std::to_string(size) + "x.png");
        }
        plugin->dispatch(effEditClose);
        window->pump(0);
        open = false;
        window.reset();
        plugin.reset();
    }
}

// ---- Gestures at 2x and 1.5x behave as at 1x ------------------------------------------------

class ScaledGestureTest : public ScaledEditorTest, public ::testing::WithParamInterface<float> {};

TEST_P(ScaledGestureTest, DragsOfNUnitsMoveKnobsAndFadersAsAt1x) {
    // The same gestures at 1x first, for the values they give there.
    std::vector<float> at1x;
    for (const float s : {1.0f, GetParam()}) {
        load();
        if (s != 1.0f) {
            tellScale(s);
        }
        openEditor();
        plugin->setParameter(0, 0.2f);
        plugin->setParameter(1, 0.7f);
        plugin->setParameter(2, 0.5f);
        plugin->setParameter(6, 0.1f);
        idle(3);
        dragUpUnits(kOutputKnob, 40);
        dragUpUnits(kDistortionKnob, -32);
        clickUnits(kTweak.cx(), kTweak.cy());
        dragUpUnits(kInputFader, 24);
        dragUpUnits(kLowCutFader, 48);
        const std::vector<float> values{plugin->getParameter(0), plugin->getParameter(1),
                                        plugin->getParameter(2), plugin->getParameter(6)};
        if (s == 1.0f) {
            at1x = values;
            EXPECT_NE(values[0], 0.2f) << "the 1x drag did not move the knob";
        } else {
            EXPECT_EQ(values, at1x) << "at " << s;
        }
        plugin->dispatch(effEditClose);
        open = false;
        checkBalancedGestures();
        window.reset();
    }
}

TEST_P(ScaledGestureTest, ClicksHitTweakFootswitchAndSwitch) {
    expectClicksHitAt(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Scales, ScaledGestureTest, ::testing::Values(2.0f, 1.5f));

class EveryScaleClickTest : public ScaledEditorTest, public ::testing::WithParamInterface<float> {};

TEST_P(EveryScaleClickTest, FootswitchAndTweakAreHit) {
    expectClicksHitAt(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Scales, EveryScaleClickTest, ::testing::Values(1.25f, 1.75f, 2.5f, 3.0f));

// ---- The size menu --------------------------------------------------------------------------

// Where the menu's row `index` is when opened by a right-click at the empty spot (the menu's
// top-left corner is the click point; rows 16 units high below a 1-unit border).
std::pair<double, double> menuRow(int index) {
    return {kEmptyX + 30, kEmptyY + 1 + 16 * index + 8};
}

TEST_F(ScaledEditorTest, ARightClickOnAControlOpensNoMenu) {
    load();
    openEditor();
    const Image before = settled();
    clickUnits(kFootswitch.cx(), kFootswitch.cy(), 3);
    clickUnits(kOutputKnob.cx(), kOutputKnob.cy(), 3);
    EXPECT_EQ(settled(), before);
}

TEST_F(ScaledEditorTest, TheMenuOpensOnAnEmptySpotAndChoosingAsksAHostThatCan) {
    load();
    openEditor();
    const Image before = settled();
    clickUnits(kEmptyX, kEmptyY, 3);
    const Image menu = settled();
    EXPECT_GT(countDifferent(menu, before, 8), 64 * 100) << "no menu appeared";
    plugin->state().clearCalls();
    const auto [x, y] = menuRow(4); // 200 %
    clickUnits(x, y);
    bool asked = false;
    for (const HostCall& call : plugin->state().calls()) {
        if (call.opcode == audioMasterSizeWindow) {
            EXPECT_EQ(call.index, 540);
            EXPECT_EQ(call.value, 950);
            asked = true;
        }
    }
    EXPECT_TRUE(asked) << "the host was not asked for the new size";
    EXPECT_EQ(childSize(), std::make_pair(540, 950));
    EXPECT_EQ(editorSize(), std::make_pair(540, 950));
    // Remembered: the next editor opens at 200 % whatever else says.
    window.reset();
    plugin->dispatch(effEditClose);
    open = false;
    load();
    tellScale(1.0f);
    EXPECT_EQ(editorSize(), std::make_pair(540, 950));
}

TEST_F(ScaledEditorTest, ForAHostThatCannotSizeTheEditorResizesItsParent) {
    load();
    openEditor(false);
    clickUnits(kEmptyX, kEmptyY, 3);
    settled();
    const auto [x, y] = menuRow(2); // 150 %
    clickUnits(x, y);
    for (const HostCall& call : plugin->state().calls()) {
        EXPECT_NE(call.opcode, audioMasterSizeWindow);
    }
    EXPECT_EQ(childSize(), std::make_pair(405, 713));
    EXPECT_EQ(hostWindowSize(), std::make_pair(405, 713));
}

TEST_F(ScaledEditorTest, AChoiceThatCannotBeSavedStillResizes) {
    // The config "folder" is a file: nothing can be created under it.
    std::ofstream(config / "blocked") << "x";
    setenv("XDG_CONFIG_HOME", (config / "blocked").c_str(), 1);
    load();
    openEditor();
    clickUnits(kEmptyX, kEmptyY, 3);
    settled();
    const auto [x, y] = menuRow(1); // 125 %
    clickUnits(x, y);
    EXPECT_EQ(childSize(), std::make_pair(338, 594));
}

} // namespace

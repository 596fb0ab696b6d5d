// Guards the plug-in's pedal window in a real X server against wrong placement or size, faces
// or filmstrip frames that do not match the artwork, gestures that do not reach the effect and
// host (or reach the host for the tag-11 controls), and host changes that never show.
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
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using gravelix::host::HostCall;
using gravelix::host::HostWindow;
using gravelix::host::PluginHost;
namespace fs = std::filesystem;
using namespace editortest;

const fs::path kResources = fs::path(GRAVELIX_SOURCE_DIR) / "editor" / "resources";
constexpr Rect kLed{119, 253, 151, 285};

// ---- The expected picture, composed from the artwork as the controls draw it ----------------

// Draws the piece of `image` that starts at source row `sourceY` into `where`.
void drawPiece(cairo_t* cr, const char* image, const Rect& where, double sourceY) {
    Surface png = loadPng(kResources / image);
    cairo_save(cr);
    cairo_rectangle(cr, where.left, where.top, where.right - where.left, where.bottom - where.top);
    cairo_clip(cr);
    cairo_set_source_surface(cr, png.get(), where.left, where.top - sourceY);
    cairo_paint(cr);
    cairo_restore(cr);
}

// The top row of the filmstrip image a value shows.
double filmstripY(float value, int images, int imageHeight) {
    const double y = std::floor(static_cast<double>(value) * (images - 1) * imageHeight);
    return y - static_cast<int>(y) % imageHeight;
}

double lowerHalfIfOn(float value, double half) {
    return value == 1.0f ? half : 0.0;
}

// Parameter values 0..9, in the effect's order.
using Values = std::vector<float>;

Image composePanel(const Values& v, bool back) {
    Surface target(cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, kHeight),
                   cairo_surface_destroy);
    cairo_t* cr = cairo_create(target.get());
    drawPiece(cr, back ? "back_panel.png" : "front_panel.png", {0, 0, kWidth, kHeight}, 0);
    if (back) {
        const Rect faders[] = {{68, 55, 100, 157},
                               {68, 192, 100, 294},
                               {173, 192, 205, 294},
                               {68, 328, 100, 430},
                               {173, 328, 205, 430}};
        for (int i = 0; i < 5; ++i) {
            drawPiece(cr, "fader.png", faders[i], filmstripY(v[2 + i], 31, 102));
        }
        drawPiece(cr, "stereo_switch.png", {161, 54, 211, 78}, lowerHalfIfOn(v[8], 24));
        drawPiece(cr, "pickup_switch.png", {161, 118, 211, 142}, lowerHalfIfOn(v[7], 24));
    } else {
        drawPiece(cr, "knob.png", kOutputKnob, filmstripY(v[0], 45, 119));
        drawPiece(cr, "knob.png", kDistortionKnob, filmstripY(v[1], 45, 119));
        drawPiece(cr, "footswitch.png", kFootswitch, 0);
    }
    drawPiece(cr, "tweak.png", kTweak, back ? 25 : 0);
    if (!back) {
        drawPiece(cr, "led.png", kLed, lowerHalfIfOn(v[9], 32));
    }
    cairo_destroy(cr);
    return toImage(target.get());
}

constexpr Rect kWhole{0, 0, kWidth, kHeight};

// ---- The host side: our window, the plug-in's editor in it, real input through XTest ------

class EditorWindowTest : public ::testing::Test {
protected:
    PluginHost plugin{GRAVELIX_PLUGIN};
    std::unique_ptr<HostWindow> window;
    Display* input = nullptr;

    void SetUp() override {
        window = std::make_unique<HostWindow>(kWidth, kHeight, "editor test");
        input = XOpenDisplay(nullptr);
        ASSERT_NE(input, nullptr);
        int event, error, major, minor;
        ASSERT_TRUE(XTestQueryExtension(input, &event, &error, &major, &minor));
        parkPointer();
    }

    void TearDown() override {
        if (!plugin.effect()) {
            XCloseDisplay(input);
            return;
        }
        if (open_) {
            closeEditor();
        }
        // The tag-11 controls (footswitch, tweak plate) belong to no parameter.
        for (const HostCall& call : gestures()) {
            EXPECT_TRUE(call.index >= 0 && call.index < 10)
                << "host told of index " << call.index << " (opcode " << call.opcode << ")";
        }
        if (input) {
            XCloseDisplay(input);
        }
    }

    void openEditor() {
        const auto parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window->id()));
        ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, parent), 1);
        open_ = true;
        window->waitMapped();
        idle(5);
    }
    void closeEditor() {
        plugin.dispatch(effEditClose);
        open_ = false;
        window->pump(0);
    }

    // Host idle calls, a little apart, as a host makes them.
    void idle(int times = 1) {
        for (int i = 0; i < times; ++i) {
            plugin.dispatch(effEditIdle);
            window->pump(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    Values values() const {
        Values v;
        for (int i = 0; i < 10; ++i) {
            v.push_back(plugin.getParameter(i));
        }
        return v;
    }

    // Waits (idling) until the window shows `expected` in `area`; false after about a second.
    bool shows(const Image& expected, const Rect& area = kWhole, bool idling = true) {
        for (int attempt = 0; attempt < 60; ++attempt) {
            if (countDifferent(window->capture(), expected, area, 2) == 0) {
                return true;
            }
            if (idling) {
                idle();
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        return false;
    }

    // The host window's children once the server has caught up with the plug-in's
    // connection (up to a second for the count to become `expected`).
    unsigned childWindows(unsigned expected) {
        unsigned count = 0;
        for (int attempt = 0; attempt < 100; ++attempt) {
            Window root, parent, *children = nullptr;
            if (!XQueryTree(input, window->id(), &root, &parent, &children, &count)) {
                return ~0u;
            }
            if (children) {
                XFree(children);
            }
            if (count == expected) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return count;
    }

    void rootPoint(int x, int y, int& rootX, int& rootY) {
        Window child;
        XTranslateCoordinates(input, window->id(), DefaultRootWindow(input), x, y, &rootX, &rootY,
                              &child);
    }
    void moveTo(int x, int y) {
        int rx, ry;
        rootPoint(x, y, rx, ry);
        XTestFakeMotionEvent(input, DefaultScreen(input), rx, ry, CurrentTime);
        XSync(input, False);
        idle(2);
    }
    void button(bool down) {
        XTestFakeButtonEvent(input, 1, down, CurrentTime);
        XSync(input, False);
        idle(2);
    }
    void click(int x, int y) {
        moveTo(x, y);
        button(true);
        button(false);
        parkPointer();
    }
    void parkPointer() {
        XTestFakeMotionEvent(input, DefaultScreen(input), kWidth + 200, kHeight + 200, CurrentTime);
        XSync(input, False);
        idle(2);
    }

    // The gestures the host was told of, in order: automation, begin and end of edit.
    std::vector<HostCall> gestures() const {
        std::vector<HostCall> out;
        for (const HostCall& call : plugin.state().calls()) {
            if (call.opcode == audioMasterAutomate || call.opcode == audioMasterBeginEdit ||
                call.opcode == audioMasterEndEdit) {
                out.push_back(call);
            }
        }
        return out;
    }

    // The host saw exactly these Effect values, each as begin, automation, end of edit.
    void expectEffectGestures(const std::vector<float>& sent) const {
        const auto calls = gestures();
        ASSERT_EQ(calls.size(), 3 * sent.size());
        for (std::size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(calls[3 * i].opcode, audioMasterBeginEdit);
            EXPECT_EQ(calls[3 * i + 1].opcode, audioMasterAutomate);
            EXPECT_EQ(calls[3 * i + 1].opt, sent[i]);
            EXPECT_EQ(calls[3 * i + 2].opcode, audioMasterEndEdit);
            for (std::size_t k = 0; k < 3; ++k) {
                EXPECT_EQ(calls[3 * i + k].index, 9);
            }
        }
    }

    bool open_ = false;
};

TEST_F(EditorWindowTest, OpensAsAChildOfTheHostWindowWithThePanelsSize) {
    ERect* rect = nullptr;
    ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, kWidth);
    EXPECT_EQ(rect->bottom - rect->top, kHeight);

    openEditor();
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    ASSERT_TRUE(XQueryTree(input, window->id(), &root, &parent, &children, &count));
    ASSERT_EQ(count, 1u);
    XWindowAttributes attributes{};
    XGetWindowAttributes(input, children[0], &attributes);
    XFree(children);
    EXPECT_EQ(attributes.x, 0);
    EXPECT_EQ(attributes.y, 0);
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);
    EXPECT_EQ(attributes.map_state, IsViewable);

    closeEditor();
    EXPECT_EQ(childWindows(0), 0u) << "closing must destroy the editor's window";
}

TEST_F(EditorWindowTest, FrontPanelShowsTheArtworkWithProgramZerosKnobFrames) {
    openEditor();
    const Image expected = composePanel(values(), false);
    EXPECT_TRUE(shows(expected));
    const Image actual = window->capture();
    const Image golden = loadImage(kGolden / "front.png");
    // The golden picture was checked by eye; the artwork may be redrawn a little.
    const int off = countDifferent(actual, golden, kWhole, 24);
    EXPECT_TRUE(off >= 0 && off < kWidth * kHeight / 200) << off << " pixels differ from golden";
    if (countDifferent(actual, expected, kWhole, 2) != 0 || off != 0) {
        saveForInspection(actual, "front.png");
    }
}

TEST_F(EditorWindowTest, TweakFlipsToTheBackPanelAndBack) {
    openEditor();
    const Values v = values();
    click(kTweak.cx(), kTweak.cy());
    EXPECT_TRUE(shows(composePanel(v, true)));
    const Image back = window->capture();
    const int off = countDifferent(back, loadImage(kGolden / "back.png"), kWhole, 24);
    EXPECT_TRUE(off >= 0 && off < kWidth * kHeight / 200) << off << " pixels differ from golden";
    if (off != 0) {
        saveForInspection(back, "back.png");
    }

    plugin.setParameter(0, 0.1f); // while the back shows: the hidden knob follows
    idle();
    click(kTweak.cx(), kTweak.cy());
    EXPECT_TRUE(shows(composePanel(values(), false)));
    // The plate belongs to no parameter: nothing of it reaches the host.
    EXPECT_TRUE(gestures().empty());
    Values expected = v;
    expected[0] = 0.1f;
    EXPECT_EQ(values(), expected);
}

TEST_F(EditorWindowTest, DraggingDistortionUpRaisesItHalfPerHundredPixels) {
    plugin.setParameter(1, 0.2f);
    openEditor();
    plugin.state().clearCalls();

    // In the two columns both knobs cover: Distortion, added later, lies on top there.
    const int x = kOutputKnob.right - 1;
    auto drag = [&] {
        moveTo(x, 120);
        button(true);
        for (int step = 1; step <= 10; ++step) {
            moveTo(x, 120 - 10 * step);
        }
        button(false);
        parkPointer();
    };
    drag();
    EXPECT_NEAR(plugin.getParameter(1), 0.7f, 1e-4);
    const auto calls = gestures();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls.front().index, 1);
    EXPECT_EQ(calls.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(calls.back().index, 1);
    for (std::size_t i = 1; i + 1 < calls.size(); ++i) {
        EXPECT_EQ(calls[i].opcode, audioMasterAutomate);
        EXPECT_EQ(calls[i].index, 1);
    }
    EXPECT_NEAR(calls[calls.size() - 2].opt, 0.7f, 1e-4);
    EXPECT_TRUE(shows(composePanel(values(), false), kDistortionKnob));

    drag(); // past the end of the range
    EXPECT_EQ(plugin.getParameter(1), 1.0f);
    EXPECT_TRUE(shows(composePanel(values(), false), kDistortionKnob));
}

TEST_F(EditorWindowTest, FootswitchClicksTurnTheEffectOffAndOn) {
    openEditor();
    ASSERT_EQ(plugin.getParameter(9), 1.0f);
    plugin.state().clearCalls();
    click(kFootswitch.cx(), kFootswitch.cy());
    EXPECT_EQ(plugin.getParameter(9), 0.0f);
    EXPECT_TRUE(shows(composePanel(values(), false), kLed)) << "LED should be dark";
    // Press: Effect sent unchanged; release: sent as 0. Each in a gesture of its own.
    expectEffectGestures({1.0f, 0.0f});

    click(kFootswitch.cx(), kFootswitch.cy());
    EXPECT_EQ(plugin.getParameter(9), 1.0f);
    EXPECT_TRUE(shows(composePanel(values(), false), kLed)) << "LED should be lit";

    // A host's in-between value counts as on: the next release turns the effect off.
    plugin.setParameter(9, 0.5f);
    idle();
    click(kFootswitch.cx(), kFootswitch.cy());
    EXPECT_EQ(plugin.getParameter(9), 0.0f);

    // Released after the pointer slid off the switch: the stomp still counts.
    moveTo(kFootswitch.cx(), kFootswitch.cy());
    button(true);
    moveTo(kFootswitch.cx(), kFootswitch.top - 60);
    button(false);
    parkPointer();
    EXPECT_EQ(plugin.getParameter(9), 1.0f);
}

TEST_F(EditorWindowTest, FootswitchWorkedWithReturnKeySendsButDoesNotToggle) {
    openEditor();
    // Tab order on the front: Output, Distortion, footswitch.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(plugin.dispatch(effEditKeyDown, 0, 2), 1);
    }
    plugin.state().clearCalls();
    EXPECT_EQ(plugin.dispatch(effEditKeyDown, 0, 4), 1);
    EXPECT_EQ(plugin.dispatch(effEditKeyUp, 0, 4), 1);
    EXPECT_EQ(plugin.getParameter(9), 1.0f);
    // Both key reports send Effect, unchanged.
    expectEffectGestures({1.0f, 1.0f});
}

TEST_F(EditorWindowTest, HostChangeFromAnotherThreadShowsAfterTheNextIdle) {
    openEditor();
    const Image before = window->capture();
    std::thread automation([this] { plugin.setParameter(0, 1.0f); });
    automation.join();
    EXPECT_EQ(countDifferent(window->capture(), before, kOutputKnob, 0), 0)
        << "drawn outside the editor thread's idle";
    idle();
    EXPECT_TRUE(shows(composePanel(values(), false), kOutputKnob, false))
        << "one idle should show the new value";
}

TEST_F(EditorWindowTest, ReopeningStartsOnTheFrontWithCurrentValues) {
    openEditor();
    click(kTweak.cx(), kTweak.cy());
    plugin.setParameter(1, 0.9f); // while the back shows
    idle();
    closeEditor();
    plugin.setParameter(0, 0.25f); // while closed
    idle();
    openEditor();
    EXPECT_TRUE(shows(composePanel(values(), false)));
    EXPECT_FLOAT_EQ(plugin.getParameter(0), 0.25f);
    EXPECT_FLOAT_EQ(plugin.getParameter(1), 0.9f);
}

TEST_F(EditorWindowTest, OpeningTwiceKeepsOneWindow) {
    openEditor();
    openEditor();
    EXPECT_EQ(childWindows(1), 1u);
    EXPECT_TRUE(shows(composePanel(values(), false)));
}

TEST_F(EditorWindowTest, OpeningIntoAMissingWindowFailsAndLaterOpensWork) {
    EXPECT_EQ(
        plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{0x3FFFFFF})), 0);
    idle(); // harmless without a window
    openEditor();
    EXPECT_TRUE(shows(composePanel(values(), false)));
}

TEST_F(EditorWindowTest, UncoveredPartsArePaintedAgain) {
    openEditor();
    const Image front = composePanel(values(), false);
    ASSERT_TRUE(shows(front));
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixel = WhitePixel(input, DefaultScreen(input));
    int x, y;
    rootPoint(20, 20, x, y);
    const Window cover =
        XCreateWindow(input, DefaultRootWindow(input), x, y, 150, 300, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
    XMapRaised(input, cover);
    XSync(input, False);
    idle(3);
    ASSERT_GT(countDifferent(window->capture(), front, kWhole, 2), 0) << "not covered";
    XDestroyWindow(input, cover);
    XSync(input, False);
    EXPECT_TRUE(shows(front));
}

TEST_F(EditorWindowTest, DeletingTheEffectWithTheEditorOpenRemovesTheWindow) {
    openEditor();
    click(kTweak.cx(), kTweak.cy());
    plugin.close(); // effClose without effEditClose, as some hosts do
    EXPECT_EQ(childWindows(0), 0u);
    window->pump(50);
}

} // namespace

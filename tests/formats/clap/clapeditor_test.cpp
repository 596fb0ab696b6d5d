// Guards the pedal editor inside a CLAP host in a real X server against: the wrong size (or a
// host's scale ignored), an editor that paints without the host's timer or not on it, a player's
// drag that never reaches the host as a gesture with its values, host changes that never show,
// and windows, timers, X resources or memory left behind by opening and closing it.
#include "clapinstance.h"
#include "panelpicture.h"
#include "tools/hosting/hostwindow.h"
#include "tools/validator/resourceusage.h"

#include <gtest/gtest.h>
// After the test framework: the X headers define macros such as None and Bool.
#include <X11/Xlib.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

namespace {

using gravelix::host::HostWindow;
using gravelix::host::Image;
using gravelix::validator::growth;
using gravelix::validator::measureResources;
using gravelix::validator::ResourceUsage;
using namespace editortest;

constexpr Rect kWhole{0, 0, kWidth, kHeight};

class ClapEditorTest : public ::testing::Test {
protected:
    ClapLibrary library{GRAVELIX_CLAP};
    std::unique_ptr<ClapInstance> clap;
    std::unique_ptr<HostWindow> window;
    const clap_plugin_gui_t* gui = nullptr;

    void SetUp() override {
        ASSERT_TRUE(library.loaded()) << library.error();
        clap = std::make_unique<ClapInstance>(library);
        ASSERT_TRUE(clap->plugin());
        gui = clap->gui();
        ASSERT_NE(gui, nullptr);
        window = std::make_unique<HostWindow>(kWidth, kHeight, "clap editor test");
        window->moveTo(kWidth + 200, kHeight + 200);
    }
    void TearDown() override {
        if (clap && clap->plugin()) {
            gui->destroy(clap->plugin());
        }
    }

    bool create() { return gui->create(clap->plugin(), CLAP_WINDOW_API_X11, false); }
    bool setParent() {
        clap_window_t parent{};
        parent.api = CLAP_WINDOW_API_X11;
        parent.x11 = static_cast<clap_xwnd>(window->id());
        return gui->set_parent(clap->plugin(), &parent);
    }
    std::pair<std::uint32_t, std::uint32_t> size() {
        std::uint32_t w = 0, h = 0;
        EXPECT_TRUE(gui->get_size(clap->plugin(), &w, &h));
        return {w, h};
    }
    // The host's timers, a little apart, and the host window's own events.
    void tick(int times = 1) {
        for (int i = 0; i < times; ++i) {
            clap->fireTimers();
            window->pump(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void open() {
        ASSERT_TRUE(create());
        ASSERT_TRUE(setParent());
        window->waitMapped();
        tick(5);
    }
    // Waits, ticking, until the window shows `expected` in `area`; false after about a second.
    bool shows(const Image& expected, const Rect& area, int tolerance = 2) {
        for (int attempt = 0; attempt < 60; ++attempt) {
            const int off = countDifferent(window->capture(), expected, area, tolerance);
            if (off >= 0 && off < kWidth * kHeight / 200) {
                return true;
            }
            tick();
        }
        saveForInspection(window->capture(), "clap-editor.png");
        return false;
    }
    void drag(int x, int fromY, int toY) {
        window->moveTo(x, fromY);
        tick(2);
        window->button(true);
        tick(2);
        for (int step = 1; step <= 10; ++step) {
            window->moveTo(x, fromY + (toY - fromY) * step / 10);
            tick(2);
        }
        window->button(false);
        tick(2);
        window->moveTo(kWidth + 200, kHeight + 200);
        tick(2);
    }
};

TEST_F(ClapEditorTest, SizesAtTheHostsScale) {
    EXPECT_TRUE(gui->is_api_supported(clap->plugin(), CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE(gui->is_api_supported(clap->plugin(), CLAP_WINDOW_API_X11, true));
    ASSERT_TRUE(create());
    EXPECT_EQ(clap->timers().size(), 1u);
    EXPECT_EQ(size(), std::make_pair(std::uint32_t{270}, std::uint32_t{475}));
    ASSERT_TRUE(gui->set_scale(clap->plugin(), 2.0));
    EXPECT_EQ(size(), std::make_pair(std::uint32_t{540}, std::uint32_t{950}));
    EXPECT_TRUE(gui->set_size(clap->plugin(), 540, 950));
    EXPECT_FALSE(gui->set_size(clap->plugin(), 600, 950));
    gui->destroy(clap->plugin());
    EXPECT_TRUE(clap->timers().empty()) << "the timer outlived the editor";
}

TEST_F(ClapEditorTest, TheHostsTimerPaintsTheFrontPanel) {
    ASSERT_TRUE(create());
    ASSERT_TRUE(setParent());
    window->waitMapped();
    window->pump(50);
    const Image front = loadImage(kGolden / "front.png");
    EXPECT_GT(countDifferent(window->capture(), front, kWhole, 24), kWidth * kHeight / 2)
        << "painted before the host's timer fired";
    ASSERT_EQ(clap->timers().size(), 1u);
    EXPECT_EQ(clap->timers().begin()->first, 0u) << "a host's first timer id is 0";
    EXPECT_TRUE(shows(front, kWhole, 24));
    EXPECT_EQ(clap->calls().offMainThread, 0);
}

TEST_F(ClapEditorTest, DraggingDistortionSendsOneGestureInTheNextFlush) {
    clap->flush({{0, 1, 0.2}});
    open();
    clap->clearCalls();
    // In the two columns both knobs cover, Distortion lies on top.
    drag(kOutputKnob.right - 1, 120, 20);
    EXPECT_NEAR(*clap->value(1), 0.7, 1e-4);
    EXPECT_GT(clap->calls().requestFlush, 0);

    const std::vector<OutEvent> events = clap->flush();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_EQ(events.back().type, CLAP_EVENT_PARAM_GESTURE_END);
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        EXPECT_EQ(events[i].type, CLAP_EVENT_PARAM_VALUE);
    }
    for (const OutEvent& e : events) {
        EXPECT_EQ(e.id, 1u);
    }
    EXPECT_NEAR(events[events.size() - 2].value, 0.7, 1e-4);
    EXPECT_TRUE(clap->flush().empty()) << "sent twice";
}

TEST_F(ClapEditorTest, AHostChangeRepaintsTheKnobAtTheNextTimer) {
    open();
    ASSERT_TRUE(shows(loadImage(kGolden / "front.png"), kWhole, 24));
    const Image before = window->capture();
    ASSERT_TRUE(clap->activate(44100.0, 64));
    std::vector<float> in(64, 0.0f), outL(64), outR(64);
    clap->process(in.data(), in.data(), outL.data(), outR.data(), 64, {{10, 1, 1.0}});
    window->pump(0);
    EXPECT_EQ(countDifferent(window->capture(), before, kDistortionKnob, 0), 0)
        << "drawn outside the host's timer";
    tick();
    EXPECT_GT(countDifferent(window->capture(), before, kDistortionKnob, 2), 100);
    // The Output knob, short of the columns the two knobs share.
    EXPECT_EQ(countDifferent(window->capture(), before, Rect{16, 29, 130, 148}, 0), 0)
        << "the other knob moved";

    clap->flush({{0, 1, 0.6}});
    tick();
    EXPECT_EQ(countDifferent(window->capture(), before, kDistortionKnob, 2), 0);
}

// ---- Open and close many times --------------------------------------------------------------

TEST_F(ClapEditorTest, TwoHundredOpenCloseCyclesLeaveNothingBehind) {
    auto cycle = [&] {
        ASSERT_TRUE(create());
        ASSERT_TRUE(setParent());
        tick();
        gui->destroy(clap->plugin());
        window->sync();
    };
    // The first cycles fill the image caches and the per-thread connection.
    for (int i = 0; i < 5; ++i) {
        cycle();
    }
    // Counted as the validator counts them: X resources of every client, heap, files, threads.
    const ResourceUsage before = measureResources(*window);
    for (int i = 0; i < 200; ++i) {
        cycle();
    }
    EXPECT_FALSE(window->hasChildren());
    EXPECT_TRUE(clap->timers().empty());
    EXPECT_EQ(clap->timersEverRegistered(), 205);
    EXPECT_EQ(growth(before, measureResources(*window)), "");
}

} // namespace

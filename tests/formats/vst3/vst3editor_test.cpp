// Guards the pedal editor inside a VST3 host in a real X server against: the wrong size (the
// host's scale ignored, or something but 1x without one), an editor that paints without the
// host's run loop or opens without one, a player's drag that never reaches the host as
// begin/perform/end, host changes that never show, a size change that bypasses the host's
// frame, and windows, timers, X resources or memory left behind by opening and closing it.
#include "panelpicture.h"
#include "tools/hosting/hostwindow.h"
#include "tools/validator/resourceusage.h"
#include "vst3instance.h"

#include <pluginterfaces/gui/iplugviewcontentscalesupport.h>

#include <gtest/gtest.h>
// After the test framework: the X headers define macros such as None and Bool.
#include <X11/Xlib.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace Steinberg;

namespace {

using gravelix::host::HostWindow;
using gravelix::host::Image;
using gravelix::validator::growth;
using gravelix::validator::measureResources;
using gravelix::validator::ResourceUsage;
using namespace editortest;

constexpr Rect kWhole{0, 0, kWidth, kHeight};

class Vst3EditorTest : public ::testing::Test {
protected:
    Vst3Library library{GRAVELIX_VST3};
    std::unique_ptr<Vst3Instance> vst3;
    std::unique_ptr<HostWindow> window;
    IPlugView* view = nullptr;

    void SetUp() override {
        ASSERT_TRUE(library.loaded()) << library.error();
        vst3 = std::make_unique<Vst3Instance>(library);
        ASSERT_TRUE(vst3->ok());
        view = vst3->createView();
        ASSERT_NE(view, nullptr);
        window = std::make_unique<HostWindow>(kWidth, kHeight, "vst3 editor test");
        window->moveTo(kWidth + 200, kHeight + 200);
    }
    void TearDown() override {
        if (view) {
            view->removed();
        }
        vst3.reset();
    }

    tresult attach() {
        return view->attached(window->parentHandle(), kPlatformTypeX11EmbedWindowID);
    }
    std::pair<int32, int32> size() {
        ViewRect r;
        EXPECT_EQ(view->getSize(&r), kResultOk);
        return {r.getWidth(), r.getHeight()};
    }
    // The host's run loop: its timer and the X connection's descriptor, a little apart, and the
    // host window's own events.
    void tick(int times = 1) {
        for (int i = 0; i < times; ++i) {
            vst3->fireTimers();
            vst3->fireDescriptors();
            window->pump(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void open() {
        ASSERT_EQ(attach(), kResultOk);
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
        saveForInspection(window->capture(), "vst3-editor.png");
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

TEST_F(Vst3EditorTest, SizesAtTheHostsScaleAndAt1xWithoutOne) {
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
    EXPECT_EQ(view->canResize(), kResultFalse);
    EXPECT_EQ(size(), std::make_pair(int32{270}, int32{475}));
    EXPECT_EQ(vst3->controller()->createView(Vst::ViewType::kEditor), nullptr)
        << "a second view of the one editor";

    void* scaling = nullptr;
    ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport_iid, &scaling), kResultOk);
    auto* scale = static_cast<IPlugViewContentScaleSupport*>(scaling);
    ASSERT_EQ(scale->setContentScaleFactor(2.0f), kResultOk);
    EXPECT_EQ(size(), std::make_pair(int32{540}, int32{950}));
    ViewRect proposed(0, 0, 600, 700);
    EXPECT_EQ(view->checkSizeConstraint(&proposed), kResultOk);
    EXPECT_EQ(proposed.getWidth(), 540);
    EXPECT_EQ(proposed.getHeight(), 950);
    scale->release();
}

TEST_F(Vst3EditorTest, TheHostsRunLoopAloneDrivesItAndItNeedsOne) {
    vst3->withRunLoop = false;
    EXPECT_NE(attach(), kResultOk) << "opened with nothing to drive it";
    EXPECT_FALSE(window->hasChildren());
    vst3->withRunLoop = true;

    ASSERT_EQ(attach(), kResultOk);
    EXPECT_EQ(vst3->timerCount(), 1u);
    EXPECT_EQ(vst3->descriptorCount(), 1u);
    window->waitMapped();
    window->pump(50);
    const Image front = loadImage(kGolden / "front.png");
    EXPECT_GT(countDifferent(window->capture(), front, kWhole, 24), kWidth * kHeight / 2)
        << "painted before the host's run loop called";
    EXPECT_TRUE(shows(front, kWhole, 24));
    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_EQ(vst3->timerCount(), 0u);
    EXPECT_EQ(vst3->descriptorCount(), 0u);
    EXPECT_EQ(vst3->calls().offMainThread, 0);
}

TEST_F(Vst3EditorTest, DraggingDistortionSendsBeginPerformEnd) {
    vst3->controller()->setParamNormalized(1, 0.2);
    open();
    vst3->clearCalls();
    // In the two columns both knobs cover, Distortion lies on top.
    drag(kOutputKnob.right - 1, 120, 20);
    const std::vector<Vst3Instance::Edit>& edits = vst3->calls().edits;
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().kind, 'b');
    EXPECT_EQ(edits.back().kind, 'e');
    for (std::size_t i = 1; i + 1 < edits.size(); ++i) {
        EXPECT_EQ(edits[i].kind, 'p');
    }
    for (const Vst3Instance::Edit& e : edits) {
        EXPECT_EQ(e.id, 1u);
    }
    EXPECT_NEAR(edits[edits.size() - 2].value, 0.7, 1e-4);
    EXPECT_NEAR(vst3->controller()->getParamNormalized(1), 0.7, 1e-4);
    EXPECT_EQ(vst3->calls().offMainThread, 0);
}

TEST_F(Vst3EditorTest, AHostChangeRepaintsTheKnobAtTheNextTimer) {
    open();
    ASSERT_TRUE(shows(loadImage(kGolden / "front.png"), kWhole, 24));
    const Image before = window->capture();
    vst3->controller()->setParamNormalized(1, 1.0);
    window->pump(0);
    EXPECT_EQ(countDifferent(window->capture(), before, kDistortionKnob, 0), 0)
        << "drawn outside the host's run loop";
    tick();
    EXPECT_GT(countDifferent(window->capture(), before, kDistortionKnob, 2), 100);
    EXPECT_EQ(countDifferent(window->capture(), before, Rect{16, 29, 130, 148}, 0), 0)
        << "the other knob moved";
    vst3->controller()->setParamNormalized(1, 0.6);
    tick();
    EXPECT_EQ(countDifferent(window->capture(), before, kDistortionKnob, 2), 0);
}

// A program chosen by the host while the view is open: the host hears that the values changed at
// the run loop's next call, not inside its own call, and the knobs follow.
TEST_F(Vst3EditorTest, AProgramChangeIsToldAtTheNextIdle) {
    open();
    vst3->clearCalls();
    ASSERT_EQ(vst3->controller()->setParamNormalized(1000, 1.0 / 3.0), kResultOk);
    EXPECT_TRUE(vst3->calls().restarts.empty());
    tick();
    EXPECT_EQ(vst3->calls().restarts, std::vector<int32>{Vst::kParamValuesChanged});
    tick();
    EXPECT_EQ(vst3->calls().restarts.size(), 1u) << "told twice";
}

// A new size while open (the host's scale here; the size menu takes the same way) is asked of
// the host's frame; one the host refused is asked again next time.
TEST_F(Vst3EditorTest, SizeChangesGoThroughTheHostsFrame) {
    open();
    void* scaling = nullptr;
    ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport_iid, &scaling), kResultOk);
    auto* scale = static_cast<IPlugViewContentScaleSupport*>(scaling);
    vst3->resizeAnswer = false;
    scale->setContentScaleFactor(2.0f);
    tick(2);
    ASSERT_EQ(vst3->calls().resizes.size(), 1u);
    EXPECT_EQ(vst3->calls().resizes.back(), std::make_pair(int32{540}, int32{950}));
    vst3->resizeAnswer = true;
    scale->setContentScaleFactor(2.0f);
    tick(2);
    ASSERT_EQ(vst3->calls().resizes.size(), 2u) << "the refused size was taken anyway";
    EXPECT_EQ(size(), std::make_pair(int32{540}, int32{950}));
    scale->release();
}

TEST_F(Vst3EditorTest, TwoHundredOpenCloseCyclesLeaveNothingBehind) {
    auto cycle = [&] {
        ASSERT_EQ(attach(), kResultOk);
        tick();
        ASSERT_EQ(view->removed(), kResultOk);
        window->sync();
    };
    for (int i = 0; i < 5; ++i) {
        cycle();
    }
    // Counted as the validator counts them: X resources of every client, heap, files, threads.
    const ResourceUsage before = measureResources(*window);
    for (int i = 0; i < 200; ++i) {
        cycle();
    }
    EXPECT_FALSE(window->hasChildren());
    EXPECT_EQ(vst3->timerCount(), 0u);
    EXPECT_EQ(vst3->timersEverRegistered(), 205);
    EXPECT_EQ(growth(before, measureResources(*window)), "");
}

} // namespace

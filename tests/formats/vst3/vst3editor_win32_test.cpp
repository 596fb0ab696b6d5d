// Guards the pedal editor inside a VST3 host on Windows against: the wrong size (the host's
// scale ignored, or something but 1x without one), a window that never paints or never shows
// a host's change, a player's drag that never reaches the host as begin/perform/end, and
// windows, GDI objects or memory left behind by opening and closing it.
#include "tools/hosting/hostwindow.h"
#include "tools/validator/resourceusage.h"
#include "vst3instance.h"

#include <pluginterfaces/gui/iplugviewcontentscalesupport.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace Steinberg;

namespace {

using gravelix::host::HostWindow;
using gravelix::host::Image;
using gravelix::validator::growth;
using gravelix::validator::measureResources;
using gravelix::validator::ResourceUsage;

constexpr int kWidth = 270;
constexpr int kHeight = 475;
// The Distortion knob, right of where the Output knob's columns end.
constexpr int kKnobLeft = 140, kKnobTop = 29, kKnobRight = 252, kKnobBottom = 148;

int differentIn(const Image& a, const Image& b, int left, int top, int right, int bottom) {
    if (a.width != b.width || a.height != b.height) {
        return -1;
    }
    int n = 0;
    for (int y = top; y < bottom && y < a.height; ++y) {
        for (int x = left; x < right && x < a.width; ++x) {
            const auto i = static_cast<std::size_t>(y * a.width + x);
            n += a.pixels[i] != b.pixels[i];
        }
    }
    return n;
}

class Vst3EditorWin32Test : public ::testing::Test {
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
    tresult attach() { return view->attached(window->parentHandle(), kPlatformTypeHWND); }
    std::pair<int32, int32> size() {
        ViewRect r;
        EXPECT_EQ(view->getSize(&r), kResultOk);
        return {r.getWidth(), r.getHeight()};
    }
    // The window's messages, the editor's timer among them, for about `ms`.
    void run(int ms) {
        for (int waited = 0; waited < ms; waited += 10) {
            window->pump(10);
        }
    }
    // Waits until the window shows more than `pixels` pixels other than `before`.
    bool changes(const Image& before, int pixels, int left = 0, int top = 0, int right = kWidth,
                 int bottom = kHeight) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (differentIn(window->capture(), before, left, top, right, bottom) > pixels) {
                return true;
            }
            run(20);
        }
        return false;
    }
};

TEST_F(Vst3EditorWin32Test, SizesAtTheHostsScaleAndAt1xWithoutOne) {
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultFalse);
    EXPECT_EQ(size(), std::make_pair(int32{270}, int32{475}));
    void* scaling = nullptr;
    ASSERT_EQ(view->queryInterface(IPlugViewContentScaleSupport_iid, &scaling), kResultOk);
    auto* scale = static_cast<IPlugViewContentScaleSupport*>(scaling);
    ASSERT_EQ(scale->setContentScaleFactor(2.0f), kResultOk);
    EXPECT_EQ(size(), std::make_pair(int32{540}, int32{950}));
    scale->release();
}

TEST_F(Vst3EditorWin32Test, PaintsAndShowsAHostsChange) {
    window->waitMapped();
    run(50);
    const Image blank = window->capture();
    ASSERT_EQ(attach(), kResultOk);
    ASSERT_TRUE(changes(blank, kWidth * kHeight / 2)) << "the editor never painted";
    run(100);
    const Image before = window->capture();
    vst3->controller()->setParamNormalized(1, 1.0);
    EXPECT_TRUE(changes(before, 100, kKnobLeft, kKnobTop, kKnobRight, kKnobBottom))
        << "the knob never followed the host";
    EXPECT_EQ(vst3->calls().offMainThread, 0);
}

TEST_F(Vst3EditorWin32Test, DraggingDistortionSendsBeginPerformEnd) {
    vst3->controller()->setParamNormalized(1, 0.2);
    ASSERT_EQ(attach(), kResultOk);
    window->waitMapped();
    run(200);
    vst3->clearCalls();
    window->moveTo(kKnobRight - 60, 120);
    run(30);
    window->button(true);
    run(30);
    for (int step = 1; step <= 10; ++step) {
        window->moveTo(kKnobRight - 60, 120 - 10 * step);
        run(30);
    }
    window->button(false);
    run(30);
    const std::vector<Vst3Instance::Edit>& edits = vst3->calls().edits;
    ASSERT_GE(edits.size(), 3u);
    EXPECT_EQ(edits.front().kind, 'b');
    EXPECT_EQ(edits.back().kind, 'e');
    for (const Vst3Instance::Edit& e : edits) {
        EXPECT_EQ(e.id, 1u);
    }
    EXPECT_GT(vst3->controller()->getParamNormalized(1), 0.5);
}

TEST_F(Vst3EditorWin32Test, TwoHundredOpenCloseCyclesLeaveNothingBehind) {
    auto cycle = [&] {
        ASSERT_EQ(attach(), kResultOk);
        window->pump(0);
        ASSERT_EQ(view->removed(), kResultOk);
        window->sync();
    };
    for (int i = 0; i < 5; ++i) {
        cycle();
    }
    const ResourceUsage before = measureResources(*window);
    for (int i = 0; i < 200; ++i) {
        cycle();
    }
    EXPECT_FALSE(window->hasChildren());
    EXPECT_EQ(growth(before, measureResources(*window)), "");
}

} // namespace

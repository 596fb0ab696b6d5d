// Guards the pedal editor as an LV2 UI in a real X server against: a window of the wrong size
// or without the size hints embedding hosts read (the host's scale, the player's size choice or
// the desktop's scale ignored, or a size change the host is not asked for), a UI that needs a
// feature the host does not offer or dies with the host's window, a player's drag that never
// reaches the host as port writes inside a touch, port events that never show, and windows,
// X resources or memory left behind by opening and closing it.
#include "lv2uihost.h"
#include "panelpicture.h"
#include "tools/hosting/hostwindow.h"
#include "tools/validator/resourceusage.h"

#include <gtest/gtest.h>
// After the test framework: the X headers define macros such as None and Bool.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <thread>
#include <unistd.h>

namespace {

using gravelix::host::HostWindow;
using gravelix::host::Image;
using gravelix::validator::growth;
using gravelix::validator::measureResources;
using gravelix::validator::ResourceUsage;
using namespace editortest;
using namespace lv2uitest;

constexpr Rect kWhole{0, 0, kWidth, kHeight};
// Ports: four audio ports, then the ten controls in parameter order (Distortion is the second).
constexpr std::uint32_t kDistortionPort = 5;

class Lv2EditorTest : public ::testing::Test {
protected:
    UiLibrary library{GRAVELIX_LV2_UI};
    std::unique_ptr<HostWindow> window;
    std::unique_ptr<UiInstance> ui;

    // The player's size choice is kept in the settings: each test starts without one, and
    // without a desktop scale.
    std::filesystem::path config;

    void SetUp() override {
        config = std::filesystem::temp_directory_path() /
                 ("gravelix-lv2ui-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(config);
        std::filesystem::create_directories(config);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        unsetenv("GDK_SCALE");
        ASSERT_NE(library.descriptor(), nullptr) << library.error();
        EXPECT_STREQ(library.descriptor()->URI, "https://keldwyn.example/plugins/gravelix#ui");
        window = std::make_unique<HostWindow>(kWidth, kHeight, "lv2 editor test");
        window->moveTo(kWidth + 200, kHeight + 200);
    }
    void TearDown() override {
        ui.reset();
        unsetenv("GDK_SCALE");
        std::filesystem::remove_all(config);
    }

    bool instantiate(const Offer& offer = {}) {
        ui.reset();
        ui = std::make_unique<UiInstance>(library, window->id(), offer);
        return ui->ok();
    }
    // The host's idle calls, a little apart, and the host window's own events.
    void tick(int times = 1) {
        for (int i = 0; i < times; ++i) {
            EXPECT_TRUE(ui->idle());
            window->pump(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void open() {
        ASSERT_TRUE(instantiate());
        window->waitMapped();
        tick(5);
    }
    bool shows(const Image& expected, const Rect& area, int tolerance) {
        for (int attempt = 0; attempt < 60; ++attempt) {
            const int off = countDifferent(window->capture(), expected, area, tolerance);
            if (off >= 0 && off < kWidth * kHeight / 200) {
                return true;
            }
            tick();
        }
        saveForInspection(window->capture(), "lv2-editor.png");
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
    // A right-click at an empty spot of the pedal opens the size menu; row 4 is 200 %.
    void chooseDoubleSizeFromTheMenu() {
        Display* x = window->display()->x();
        window->moveTo(40, 200);
        tick(2);
        XTestFakeButtonEvent(x, 3, True, CurrentTime);
        XSync(x, False);
        tick(2);
        XTestFakeButtonEvent(x, 3, False, CurrentTime);
        XSync(x, False);
        tick(5);
        window->moveTo(70, 200 + 1 + 16 * 4 + 8);
        tick(2);
        window->button(true);
        tick(2);
        window->button(false);
        tick(5);
        window->moveTo(kWidth + 200, kHeight + 200);
    }
    std::pair<int, int> hostWindowSize() {
        Display* x = window->display()->x();
        XSync(x, False);
        XWindowAttributes a{};
        XGetWindowAttributes(x, window->id(), &a);
        return {a.width, a.height};
    }
    // The UI's window as the server has it: its size, and the size hints' min, max and base.
    struct Geometry {
        int width = 0, height = 0;
        long hintFlags = 0;
        int minW = 0, minH = 0, maxW = 0, maxH = 0, baseW = 0, baseH = 0;
    };
    Geometry geometry() {
        Display* x = window->display()->x();
        Geometry g;
        ::Window root = 0;
        int px = 0, py = 0;
        unsigned w = 0, h = 0, border = 0, depth = 0;
        if (XGetGeometry(x, ui->widget(), &root, &px, &py, &w, &h, &border, &depth)) {
            g.width = static_cast<int>(w);
            g.height = static_cast<int>(h);
        }
        XSizeHints hints{};
        long supplied = 0;
        if (XGetWMNormalHints(x, ui->widget(), &hints, &supplied)) {
            g.hintFlags = hints.flags;
            g.minW = hints.min_width, g.minH = hints.min_height;
            g.maxW = hints.max_width, g.maxH = hints.max_height;
            g.baseW = hints.base_width, g.baseH = hints.base_height;
        }
        return g;
    }
    void expectFixedSize(int width, int height) {
        const Geometry g = geometry();
        EXPECT_EQ(g.width, width);
        EXPECT_EQ(g.height, height);
        EXPECT_EQ(g.hintFlags & (PMinSize | PMaxSize | PBaseSize), PMinSize | PMaxSize | PBaseSize);
        EXPECT_EQ(std::make_pair(g.minW, g.minH), std::make_pair(width, height));
        EXPECT_EQ(std::make_pair(g.maxW, g.maxH), std::make_pair(width, height));
        EXPECT_EQ(std::make_pair(g.baseW, g.baseH), std::make_pair(width, height));
    }
};

TEST_F(Lv2EditorTest, OpensAtOneTimesOrTheHostsScaleWithHintsAndAResizeRequest) {
    ASSERT_TRUE(instantiate());
    ASSERT_NE(ui->widget(), 0u);
    expectFixedSize(kWidth, kHeight);
    ASSERT_EQ(ui->resizes.size(), 1u);
    EXPECT_EQ(ui->resizes[0], std::make_pair(kWidth, kHeight));

    // The host's resize as extension data, called with the UI's handle: only the editor's own
    // size is taken.
    auto* resize = static_cast<const LV2UI_Resize*>(ui->extension(LV2_UI__resize));
    ASSERT_NE(resize, nullptr);
    EXPECT_EQ(resize->ui_resize(ui->uiHandle(), kWidth, kHeight), 0);
    EXPECT_NE(resize->ui_resize(ui->uiHandle(), 640, 480), 0);
    ASSERT_NE(ui->extension(LV2_UI__idleInterface), nullptr);
    EXPECT_EQ(ui->extension("http://example.org/none"), nullptr);

    Offer doubled;
    doubled.scale = 2.0;
    ASSERT_TRUE(instantiate(doubled));
    expectFixedSize(2 * kWidth, 2 * kHeight);
    ASSERT_EQ(ui->resizes.size(), 1u);
    EXPECT_EQ(ui->resizes[0], std::make_pair(2 * kWidth, 2 * kHeight));
    EXPECT_EQ(resize->ui_resize(ui->uiHandle(), 2 * kWidth, 2 * kHeight), 0);
}

TEST_F(Lv2EditorTest, ThePlayersSizeChoiceAsksTheHostAndOutranksItsScale) {
    open();
    ui->resizes.clear();
    chooseDoubleSizeFromTheMenu();
    ASSERT_FALSE(ui->resizes.empty()) << "the host was not asked for the new size";
    EXPECT_EQ(ui->resizes.back(), std::make_pair(2 * kWidth, 2 * kHeight));
    expectFixedSize(2 * kWidth, 2 * kHeight);
    EXPECT_EQ(hostWindowSize(), std::make_pair(kWidth, kHeight))
        << "a host that sizes its windows had its window sized for it";

    // Kept for the next editor, over what the host's options say.
    Offer oneTimes;
    oneTimes.scale = 1.0;
    ASSERT_TRUE(instantiate(oneTimes));
    expectFixedSize(2 * kWidth, 2 * kHeight);
}

TEST_F(Lv2EditorTest, WithoutTheHostsResizeTheEditorSizesTheWindowAroundIt) {
    Offer noResize;
    noResize.resize = false;
    ASSERT_TRUE(instantiate(noResize));
    window->waitMapped();
    tick(5);
    chooseDoubleSizeFromTheMenu();
    expectFixedSize(2 * kWidth, 2 * kHeight);
    EXPECT_EQ(hostWindowSize(), std::make_pair(2 * kWidth, 2 * kHeight));
}

TEST_F(Lv2EditorTest, TheDesktopsScaleCountsOnlyWhenTheHostGivesNone) {
    setenv("GDK_SCALE", "2", 1);
    ASSERT_TRUE(instantiate());
    expectFixedSize(2 * kWidth, 2 * kHeight);
    Offer oneTimes;
    oneTimes.scale = 1.0;
    ASSERT_TRUE(instantiate(oneTimes));
    expectFixedSize(kWidth, kHeight);
}

TEST_F(Lv2EditorTest, NeedsNothingButAParentWindow) {
    Offer bare;
    bare.resize = bare.touch = bare.idleFeature = false;
    ASSERT_TRUE(instantiate(bare)) << "refused a host that offers only a parent window";
    expectFixedSize(kWidth, kHeight);
    EXPECT_TRUE(ui->resizes.empty());
    tick(3);

    Offer noParent;
    noParent.parent = false;
    EXPECT_FALSE(instantiate(noParent)) << "a UI without a window to live in";
    EXPECT_FALSE(window->hasChildren());
}

TEST_F(Lv2EditorTest, TheHqUiIsItsOwnPedalsAndOpensAlike) {
    UiLibrary hq(GRAVELIX_HQ_LV2_UI);
    ASSERT_NE(hq.descriptor(), nullptr) << hq.error();
    EXPECT_STREQ(hq.descriptor()->URI, "https://keldwyn.example/plugins/gravelix-hq#ui");
    ui = std::make_unique<UiInstance>(hq, window->id());
    EXPECT_TRUE(ui->ok());
    if (ui->ok()) {
        expectFixedSize(kWidth, kHeight);
    }
    // Ended while its library is still ours.
    ui.reset();
}

TEST_F(Lv2EditorTest, AHostWindowGoneBeforeCleanupIsSurvived) {
    open();
    window->destroy();
    // Our window went with its parent: idle and cleanup find nothing to touch, and the next
    // UI opens as ever.
    ui->idle();
    window->pump(10);
    ui->idle();
    ui.reset();
    window = std::make_unique<HostWindow>(kWidth, kHeight, "lv2 editor test");
    open();
    EXPECT_TRUE(ui->idle());
}

TEST_F(Lv2EditorTest, DraggingDistortionWritesItsPortInsideATouch) {
    ASSERT_TRUE(instantiate());
    ui->portEvent(kDistortionPort, 0.2f);
    window->waitMapped();
    tick(5);
    // In the two columns both knobs cover, Distortion lies on top.
    drag(kOutputKnob.right - 1, 120, 20);
    ASSERT_FALSE(ui->writes.empty());
    for (const Write& w : ui->writes) {
        EXPECT_EQ(w.port, kDistortionPort);
    }
    EXPECT_NEAR(ui->writes.back().value, 0.7, 1e-4);
    ASSERT_EQ(ui->touches.size(), 2u);
    EXPECT_EQ(ui->touches[0].port, kDistortionPort);
    EXPECT_TRUE(ui->touches[0].grabbed);
    EXPECT_EQ(ui->touches[1].port, kDistortionPort);
    EXPECT_FALSE(ui->touches[1].grabbed);
}

TEST_F(Lv2EditorTest, APortEventRepaintsTheKnobAndBadOnesAreIgnored) {
    open();
    ASSERT_TRUE(shows(loadImage(kGolden / "front.png"), kWhole, 24));
    const Image before = window->capture();

    // Nothing a host may send by mistake moves anything: other formats, sizes, ports, NaN.
    const double wide = 1.0;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    ui->portEventRaw(kDistortionPort, sizeof wide, 0, &wide);
    ui->portEventRaw(kDistortionPort, sizeof(float), 7, &nan);
    ui->portEvent(kDistortionPort, nan);
    ui->portEvent(0, 1.0f);
    ui->portEvent(14, 1.0f);
    ui->portEvent(1000, 1.0f);
    ui->portEventRaw(kDistortionPort, sizeof(float), 0, nullptr);
    tick(3);
    EXPECT_EQ(countDifferent(window->capture(), before, kWhole, 0), 0);

    ui->portEvent(kDistortionPort, 1.0f);
    tick();
    EXPECT_GT(countDifferent(window->capture(), before, kDistortionKnob, 2), 100);
    // The Output knob, short of the columns the two knobs share.
    EXPECT_EQ(countDifferent(window->capture(), before, Rect{16, 29, 130, 148}, 0), 0)
        << "the other knob moved";
    EXPECT_TRUE(ui->writes.empty()) << "a host's change was echoed back";
}

// ---- Open and close many times --------------------------------------------------------------

TEST_F(Lv2EditorTest, TwoHundredOpenCloseCyclesLeaveNothingBehind) {
    auto cycle = [&] {
        ASSERT_TRUE(instantiate());
        tick();
        ui.reset();
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
    EXPECT_EQ(growth(before, measureResources(*window)), "");
}

} // namespace

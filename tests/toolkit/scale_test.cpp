// Guards against a scaled frame that mixes up its units and the window's pixels: a window of
// the wrong size, invalidations that leave pixels unpainted, pointer positions not divided back,
// a size change the editor or platform refused taking effect anyway, or a factor off the list.
#include "testfixture.h"
#include "toolkit/cbitmap.h"
#include "toolkit/scalefactor.h"

#include <cmath>

namespace Toolkit::Testing {
namespace {

TEST(ScaleFactor, RoundsToTheNearestSupportedAndRejectsNonsense) {
    EXPECT_EQ(nearestSupportedScale(1.0), 1.0);
    EXPECT_EQ(nearestSupportedScale(1.1), 1.0);
    EXPECT_EQ(nearestSupportedScale(1.125), 1.25); // a tie goes up
    EXPECT_EQ(nearestSupportedScale(1.4), 1.5);
    EXPECT_EQ(nearestSupportedScale(2.2), 2.0);
    EXPECT_EQ(nearestSupportedScale(2.3), 2.5);
    EXPECT_EQ(nearestSupportedScale(9.0), 3.0);
    EXPECT_EQ(nearestSupportedScale(0.5), 1.0);
    for (double bad : {0.0, -2.0, std::nan(""), double(INFINITY)}) {
        EXPECT_EQ(nearestSupportedScale(bad), 1.0) << bad;
    }
}

TEST(ScaleFactor, RectanglesRoundOutwardsBothWays) {
    EXPECT_EQ(scaledOutward(CRect(1, 1, 3, 3), 1.25), CRect(1, 1, 4, 4));
    EXPECT_EQ(scaledOutward(CRect(0, 0, 270, 475), 1.25), CRect(0, 0, 338, 594));
    EXPECT_EQ(unscaledOutward(CRect(1, 1, 2, 2), 1.5), CRect(0, 0, 2, 2));
    EXPECT_EQ(unscaledOutward(CRect(3, 3, 6, 6), 1.5), CRect(2, 2, 4, 4));
    // Garbage stays finite, so no platform converts a NaN or an infinity to an integer.
    const CRect r = scaledOutward(CRect(std::nan(""), -INFINITY, INFINITY, 1e300), 2.0);
    for (double edge : {r.left, r.top, r.right, r.bottom}) {
        EXPECT_TRUE(std::isfinite(edge));
    }
}

class ScaledFrameTest : public FrameTest {
protected:
    // The editor's beforeSizeChange calls, as "WxH<-WxH".
    struct SizeEditor : RecordingEditor {
        using RecordingEditor::RecordingEditor;
        bool beforeSizeChange(const CRect& newSize, const CRect& oldSize) override {
            asked.push_back(fmt(newSize.size()) + "<-" + fmt(oldSize.size()));
            return allow;
        }
        std::vector<std::string> asked;
        bool allow = true;
    };
    void SetUp() override {
        int parentWindow = 0;
        frame = new CFrame(CRect(0, 0, 300, 200), &parentWindow, &sizer);
        sizer.setFrame(frame);
        platform = factory().lastFrame;
        ASSERT_NE(platform, nullptr);
    }
    SizeEditor sizer{log};
};

TEST_F(ScaledFrameTest, TheWindowIsTheBoundsTimesTheScaleAndTheUnitsStay) {
    ASSERT_TRUE(frame->setScaleFactor(1.5));
    EXPECT_EQ(frame->scaleFactor(), 1.5);
    EXPECT_EQ(platform->scale, 1.5);
    EXPECT_EQ(platform->rect, CRect(0, 0, 450, 300));
    EXPECT_EQ(frame->bounds(), CRect(0, 0, 300, 200));
    CRect size;
    ASSERT_TRUE(frame->platformSize(size));
    EXPECT_EQ(size, CRect(0, 0, 300, 200));
    ASSERT_EQ(sizer.asked.size(), 1u);
    EXPECT_EQ(sizer.asked[0], fmt(CPoint(450, 300)) + "<-" + fmt(CPoint(300, 200)));

    // A later size change in units reaches the editor and the window in pixels.
    ASSERT_TRUE(frame->setSize(310, 200));
    EXPECT_EQ(platform->rect, CRect(0, 0, 465, 300));
    EXPECT_EQ(sizer.asked.back(), fmt(CPoint(465, 300)) + "<-" + fmt(CPoint(450, 300)));
}

TEST_F(ScaledFrameTest, ARefusalByEditorOrPlatformKeepsTheOldScale) {
    sizer.allow = false;
    EXPECT_FALSE(frame->setScaleFactor(2.0));
    EXPECT_EQ(frame->scaleFactor(), 1.0);
    EXPECT_EQ(platform->rect, CRect(0, 0, 300, 200));

    sizer.allow = true;
    platform->takesScale = false; // a back-end that draws at 1x only
    EXPECT_FALSE(frame->setScaleFactor(2.0));
    EXPECT_EQ(frame->scaleFactor(), 1.0);
    EXPECT_EQ(platform->rect, CRect(0, 0, 300, 200));
}

TEST_F(ScaledFrameTest, InvalidationsCoverEveryPixelTheUnitsTouch) {
    ASSERT_TRUE(frame->setScaleFactor(1.5));
    platform->invalidated.clear();
    frame->invalidateRect(CRect(1, 1, 3, 3));
    frame->invalidateRect(CRect(10.2, 0, 10.4, 1));
    ASSERT_EQ(platform->invalidated.size(), 2u);
    EXPECT_EQ(platform->invalidated[0], CRect(1, 1, 5, 5));
    EXPECT_EQ(platform->invalidated[1], CRect(15, 0, 16, 2));
}

TEST_F(ScaledFrameTest, PointerPositionsAreDividedBackExactly) {
    ProbeView* probe = addProbe(CRect(100, 50, 200, 150), "probe");
    ASSERT_TRUE(frame->setScaleFactor(2.5));
    log.clear();
    frame->platformMouseDown(CPoint(250, 125), leftButton); // (100, 50) in units
    frame->platformMouseMoved(CPoint(250 + 2.5 * 37, 125), leftButton);
    frame->platformMouseUp(CPoint(250 + 2.5 * 37, 125), 0);
    const auto logged = [this](const std::string& entry) {
        for (const std::string& e : log.entries) {
            if (e.rfind(entry, 0) == 0) {
                return true;
            }
        }
        return false;
    };
    // Views see their parent's coordinates, here the frame's units.
    EXPECT_TRUE(logged("probe.down " + fmt(CPoint(100, 50))));
    EXPECT_TRUE(logged("probe.moved " + fmt(CPoint(137, 50))));
    EXPECT_TRUE(logged("probe.up " + fmt(CPoint(137, 50))));

    platform->mouse = CPoint(300, 300);
    CPoint where;
    ASSERT_TRUE(frame->currentMouseLocation(where));
    EXPECT_EQ(where, CPoint(120, 120));
    (void)probe;
}

TEST_F(ScaledFrameTest, WithoutAWindowTheScaleIsOnlyKept) {
    CFrame* loose = new CFrame(CRect(0, 0, 10, 10), nullptr, &sizer);
    EXPECT_TRUE(loose->setScaleFactor(2.0));
    EXPECT_EQ(loose->scaleFactor(), 2.0);
    loose->releaseReference();
}

TEST(ScaledDrawContext, ScaleTurnsThePixelSurfaceIntoUnits) {
    RecordingContext context(CRect(0, 0, 540, 951));
    context.setScaleFactor(2.0);
    EXPECT_EQ(context.scaleFactor(), 2.0);
    EXPECT_EQ(context.surfaceRect(), CRect(0, 0, 270, 476)); // rounded outwards
    EXPECT_EQ(context.clipRect(), CRect(0, 0, 270, 476));
    context.setScaleFactor(1.0);
    EXPECT_EQ(context.surfaceRect(), CRect(0, 0, 540, 951));
}

TEST(DoubleSizeVariant, OnlyAnImageOfExactlyTwiceTheSizeIsTaken) {
    auto* bitmap = new CBitmap(new RecordingBitmap(CPoint(10, 20)));
    bitmap->platformBitmap()->releaseReference(); // the bitmap holds its own
    auto* wrong = new RecordingBitmap(CPoint(20, 41));
    auto* right = new RecordingBitmap(CPoint(20, 40));
    EXPECT_FALSE(bitmap->setDoubleSizePlatformBitmap(wrong));
    EXPECT_TRUE(bitmap->setDoubleSizePlatformBitmap(right));
    double pixelsPerUnit = 0;
    EXPECT_EQ(bitmap->platformBitmapFor(1.0, pixelsPerUnit), bitmap->platformBitmap());
    EXPECT_EQ(pixelsPerUnit, 1.0);
    EXPECT_EQ(bitmap->platformBitmapFor(1.5, pixelsPerUnit), right);
    EXPECT_EQ(pixelsPerUnit, 2.0);
    EXPECT_EQ(bitmap->width(), 10.0); // units stay those of the 1x image
    // A new image drops the variant of the old one.
    auto* other = new RecordingBitmap(CPoint(10, 20));
    bitmap->setPlatformBitmap(other);
    other->releaseReference();
    EXPECT_EQ(bitmap->doubleSizePlatformBitmap(), nullptr);
    wrong->releaseReference();
    right->releaseReference();
    bitmap->releaseReference();
}

TEST(DoubleSizeVariant, ResourceVariantIsFoundAtIdPlusOffsetAndFallsBackTo1x) {
    factory().resources[41] = CPoint(8, 8);
    factory().resources[41 + CBitmap::kDoubleSizeIdOffset] = CPoint(16, 16);
    factory().resources[42] = CPoint(8, 8); // no variant
    auto* withVariant = new CBitmap(CResourceRef(41));
    auto* without = new CBitmap(CResourceRef(42));
    double pixelsPerUnit = 0;
    ASSERT_NE(withVariant->platformBitmapFor(2.0, pixelsPerUnit), nullptr);
    EXPECT_EQ(pixelsPerUnit, 2.0);
    EXPECT_EQ(without->platformBitmapFor(2.0, pixelsPerUnit), without->platformBitmap());
    EXPECT_EQ(pixelsPerUnit, 1.0);
    withVariant->releaseReference();
    without->releaseReference();
}

} // namespace
} // namespace Toolkit::Testing

// Guards against bitmaps drawn from the wrong place, at the wrong opacity or outside the clip.

#include "cairobitmap.h"
#include "cbitmap.h"
#include "coffscreencontext.h"
#include "platform/iplatformfactory.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

using namespace Toolkit;
using namespace Toolkit::LinuxPlatform;

namespace {

constexpr std::uint32_t kClear = 0;
constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kGreen = 0xFF00FF00;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kWhite = 0xFFFFFFFF;

class Drawing : public ::testing::Test {
protected:
    void SetUp() override {
        context = getPlatformFactory().createOffscreenContext(16, 16);
        ASSERT_NE(nullptr, context);
    }
    void TearDown() override {
        strip->releaseReference();
        white->releaseReference();
        if (context)
            context->releaseReference();
    }

    std::uint32_t pixel(int x, int y) {
        cairo_surface_t* surface =
            static_cast<CairoBitmap*>(context->bitmap()->platformBitmap())->surface();
        cairo_surface_flush(surface);
        std::uint32_t value;
        std::memcpy(&value,
                    cairo_image_surface_get_data(surface) +
                        y * cairo_image_surface_get_stride(surface) + 4 * x,
                    4);
        return value;
    }
    // True when exactly the pixels of [left, right) x [top, bottom) have `inside` and every
    // other pixel is still transparent.
    bool onlyRect(int left, int top, int right, int bottom, std::uint32_t inside) {
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool in = x >= left && x < right && y >= top && y < bottom;
                if (pixel(x, y) != (in ? inside : kClear)) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << pixel(x, y);
                    return false;
                }
            }
        }
        return true;
    }

    COffscreenContext* context = nullptr;
    CBitmap* strip = new CBitmap(CResourceRef(1)); // 4 x 12: red, green, blue frames
    CBitmap* white = new CBitmap(CResourceRef(2)); // 8 x 8 opaque white
};

} // namespace

TEST_F(Drawing, FilmstripFrameComesFromTheSourceOffsetUnscaled) {
    context->drawBitmap(strip, CRect(2, 3, 6, 7), CPoint(0, 4), 1.0f);
    EXPECT_TRUE(onlyRect(2, 3, 6, 7, kGreen));
    context->drawBitmap(strip, CRect(8, 8, 12, 12), CPoint(0, 8), 1.0f);
    EXPECT_EQ(kBlue, pixel(8, 8));
    EXPECT_EQ(kBlue, pixel(11, 11));
    EXPECT_EQ(kClear, pixel(12, 12));
}

TEST_F(Drawing, DestinationWiderThanTheImageShowsOnlyTheImage) {
    context->drawBitmap(strip, CRect(0, 0, 10, 4), CPoint(0, 0), 1.0f);
    EXPECT_TRUE(onlyRect(0, 0, 4, 4, kRed));
}

TEST_F(Drawing, PositionsAndSizesTakeTheirIntegerPartsSeparately) {
    // 1.7 + 0.6 would round to 2 as a sum; each part truncated gives 1 (and 2.9 + 0.5 gives 2).
    context->setOffset(CPoint(0.6, 0.5));
    context->drawBitmap(strip, CRect(1.7, 2.9, 5.6, 6.8), CPoint(0.9, 4.9), 1.0f);
    context->setOffset(CPoint());
    EXPECT_TRUE(onlyRect(1, 2, 4, 5, kGreen)) << "3 x 3 of the green frame, never blended";
}

TEST_F(Drawing, ClipIsKeptInDeviceCoordinatesAndReadBackInTheCallers) {
    context->setOffset(CPoint(10, 20));
    context->setClipRect(CRect(-8, -18, -5, -15));
    EXPECT_EQ(CRect(-8, -18, -5, -15), context->clipRect());
    EXPECT_EQ(CRect(2, 2, 5, 5), context->deviceClipRect());
    context->setOffset(CPoint(0, 0));
    EXPECT_EQ(CRect(2, 2, 5, 5), context->clipRect()) << "the clip does not move with the offset";

    context->setOffset(CPoint(1, 1));
    context->drawBitmap(white, CRect(0, 0, 8, 8), CPoint(), 1.0f);
    EXPECT_TRUE(onlyRect(2, 2, 5, 5, kWhite));
}

TEST_F(Drawing, OpacityIsBitmapAlphaTimesGlobalAlpha) {
    context->setGlobalAlpha(0.5f);
    context->drawBitmap(white, CRect(0, 0, 2, 2), CPoint(), 0.5f);
    const std::uint32_t quarter = pixel(0, 0);
    EXPECT_NEAR(64, quarter >> 24, 1) << std::hex << quarter;
    EXPECT_EQ(quarter >> 24, quarter & 0xFF) << "premultiplied white";

    context->drawBitmap(white, CRect(4, 0, 6, 2), CPoint(), 0.0f);
    context->setGlobalAlpha(0.0f);
    context->drawBitmap(white, CRect(8, 0, 10, 2), CPoint(), 1.0f);
    context->setGlobalAlpha(1.0f);
    context->drawBitmap(white, CRect(12, 0, 14, 2), CPoint(), 3.0f);
    EXPECT_EQ(kClear, pixel(4, 0)) << "alpha 0 draws nothing";
    EXPECT_EQ(kClear, pixel(8, 0)) << "global alpha 0 draws nothing";
    EXPECT_EQ(kWhite, pixel(12, 0)) << "opacity above 1 is opaque";
}

TEST_F(Drawing, BitmapsWithoutImageOrFromElsewhereDrawNothing) {
    auto* empty = new CBitmap();
    auto* missing = new CBitmap(CResourceRef(99));
    context->drawBitmap(empty, CRect(0, 0, 16, 16), CPoint(), 1.0f);
    context->drawBitmap(missing, CRect(0, 0, 16, 16), CPoint(), 1.0f);
    context->drawBitmap(nullptr, CRect(0, 0, 16, 16), CPoint(), 1.0f);
    context->drawBitmap(white, CRect(4, 4, 0, 0), CPoint(), 1.0f); // negative size
    EXPECT_TRUE(onlyRect(0, 0, 0, 0, kClear));
    empty->releaseReference();
    missing->releaseReference();
}

TEST_F(Drawing, ClearAndFilledRectsCoverExactlyTheirRectangle) {
    context->setFillColor(kRedCColor);
    context->setFrameColor(kRedCColor);
    context->drawRect(CRect(0, 0, 16, 16), kDrawFilledAndStroked);
    context->setOffset(CPoint(1, 2));
    context->clearRect(CRect(0, 0, 15, 14));
    context->setOffset(CPoint());
    EXPECT_EQ(kRed, pixel(0, 15));
    EXPECT_EQ(kRed, pixel(15, 1));
    EXPECT_EQ(kClear, pixel(1, 2));
    EXPECT_EQ(kClear, pixel(15, 15));

    context->clearRect(CRect(0, 0, 16, 16));
    context->setFrameColor(kBlueCColor);
    context->setFillColor(kBlueCColor);
    context->drawRect(CRect(3, 4, 9, 10), kDrawFilledAndStroked);
    EXPECT_TRUE(onlyRect(3, 4, 9, 10, kBlue));
}

TEST_F(Drawing, OffscreenResultDrawsLikeAnyBitmap) {
    context->drawBitmap(strip, CRect(0, 0, 4, 4), CPoint(0, 8), 1.0f);
    COffscreenContext* target = getPlatformFactory().createOffscreenContext(8, 8);
    ASSERT_NE(nullptr, target);
    target->drawBitmap(context->bitmap(), CRect(2, 2, 6, 6), CPoint(), 1.0f);
    // Read the target through a third context by drawing it back into ours.
    context->clearRect(CRect(0, 0, 16, 16));
    context->drawBitmap(target->bitmap(), CRect(0, 0, 8, 8), CPoint(), 1.0f);
    EXPECT_TRUE(onlyRect(2, 2, 6, 6, kBlue));
    target->releaseReference();
}

TEST(Factory, RefusesSizesThatMakeNoImage) {
    IPlatformFactory& factory = getPlatformFactory();
    for (double size : {0.0, 0.5, -4.0, 40000.0, std::nan("")}) {
        EXPECT_EQ(nullptr, factory.createOffscreenContext(size, 8)) << size;
        EXPECT_EQ(nullptr, factory.createBitmap(CPoint(8, size))) << size;
    }
    IPlatformBitmap* empty = factory.createBitmap(CPoint(0, 0));
    ASSERT_NE(nullptr, empty);
    EXPECT_EQ(CPoint(0, 0), empty->size());
    empty->releaseReference();
    CBitmap sized(3, 5);
    EXPECT_EQ(3.0, sized.width());
    EXPECT_EQ(5.0, sized.height());
}

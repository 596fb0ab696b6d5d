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

constexpr std::uint32_t kClear = 0, kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
                        kWhite = 0xFFFFFFFF;

// A 16 x 16 offscreen context and the test images: a 4 x 12 strip of red, green and blue
// frames, and an 8 x 8 opaque white square.
class Drawing : public ::testing::Test {
protected:
    void TearDown() override {
        for (CBaseObject* o : {static_cast<CBaseObject*>(context), static_cast<CBaseObject*>(strip),
                               static_cast<CBaseObject*>(white)}) {
            o->releaseReference();
        }
    }
    std::uint32_t pixel(int x, int y) {
        cairo_surface_t* s =
            static_cast<CairoBitmap*>(context->bitmap()->platformBitmap())->surface();
        cairo_surface_flush(s);
        std::uint32_t value;
        std::memcpy(&value,
                    cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + 4 * x,
                    4);
        return value;
    }
    // Exactly [left, right) x [top, bottom) has `inside`; every other pixel is untouched.
    void expectOnly(int left, int top, int right, int bottom, std::uint32_t inside) {
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool in = x >= left && x < right && y >= top && y < bottom;
                ASSERT_EQ(in ? inside : kClear, pixel(x, y)) << x << "," << y;
            }
        }
    }

    COffscreenContext* context = getPlatformFactory().createOffscreenContext(16, 16);
    CBitmap* strip = new CBitmap(CResourceRef(1));
    CBitmap* white = new CBitmap(CResourceRef(2));
};

} // namespace

TEST_F(Drawing, FilmstripFrameComesFromTheSourceOffsetUnscaled) {
    context->drawBitmap(strip, CRect(2, 3, 12, 7), CPoint(0, 4), 1.0f); // wider than the image
    expectOnly(2, 3, 6, 7, kGreen);
}

TEST_F(Drawing, PositionsAndSizesTakeTheirIntegerPartsSeparately) {
    // As a sum 1.7 + 0.6 would give 2; truncated one by one it gives 1 (and 2.9 + 0.5 gives 2).
    context->setOffset(CPoint(0.6, 0.5));
    context->drawBitmap(strip, CRect(1.7, 2.9, 5.6, 6.8), CPoint(0.9, 4.9), 1.0f);
    expectOnly(1, 2, 4, 5, kGreen);
}

TEST_F(Drawing, ClipIsKeptInDeviceCoordinatesAndReadBackInTheCallers) {
    context->setOffset(CPoint(10, 20));
    context->setClipRect(CRect(-8, -18, -5, -15));
    EXPECT_EQ(CRect(-8, -18, -5, -15), context->clipRect());
    context->setOffset(CPoint(1, 1));
    EXPECT_EQ(CRect(1, 1, 4, 4), context->clipRect()) << "the clip stays where it was set";
    context->drawBitmap(white, CRect(0, 0, 8, 8), CPoint(), 1.0f);
    expectOnly(2, 2, 5, 5, kWhite);
}

TEST_F(Drawing, OpacityIsBitmapAlphaTimesGlobalAlpha) {
    context->setGlobalAlpha(0.5f);
    context->drawBitmap(white, CRect(0, 0, 2, 2), CPoint(), 0.5f);
    EXPECT_NEAR(64, pixel(0, 0) >> 24, 1);
    EXPECT_EQ(pixel(0, 0) >> 24, pixel(0, 0) & 0xFF) << "premultiplied white";
    context->drawBitmap(white, CRect(4, 0, 6, 2), CPoint(), 0.0f);
    context->setGlobalAlpha(0.0f);
    context->drawBitmap(white, CRect(8, 0, 10, 2), CPoint(), 1.0f);
    context->setGlobalAlpha(1.0f);
    context->drawBitmap(white, CRect(12, 0, 14, 2), CPoint(), 3.0f);
    EXPECT_EQ(kClear, pixel(4, 0)) << "alpha 0 draws nothing";
    EXPECT_EQ(kClear, pixel(8, 0)) << "global alpha 0 draws nothing";
    EXPECT_EQ(kWhite, pixel(12, 0)) << "above 1 is opaque";
}

TEST_F(Drawing, ShapesAndClearCoverExactlyTheirRectangles) {
    auto* missing = new CBitmap(CResourceRef(99));
    context->drawBitmap(missing, CRect(0, 0, 16, 16), CPoint(), 1.0f);
    context->drawBitmap(nullptr, CRect(0, 0, 16, 16), CPoint(), 1.0f);
    missing->releaseReference();
    context->setFillColor(kRedCColor);
    context->setFrameColor(kBlueCColor);
    context->drawRect(CRect(3, 4, 9, 10), kDrawFilledAndStroked);
    EXPECT_EQ(kBlue, pixel(3, 4));
    EXPECT_EQ(kBlue, pixel(8, 9));
    EXPECT_EQ(kRed, pixel(4, 5));
    context->setOffset(CPoint(3, 4));
    context->clearRect(CRect(1, 1, 6, 6));
    context->setFillColor(kBlueCColor);
    context->drawRect(CRect(1, 1, 6, 6), kDrawFilled);
    expectOnly(3, 4, 9, 10, kBlue);
}

TEST(Factory, RefusesSizesThatMakeNoImage) {
    IPlatformFactory& factory = getPlatformFactory();
    for (double size : {0.5, -4.0, 40000.0, std::nan("")}) {
        EXPECT_EQ(nullptr, factory.createOffscreenContext(size, 8)) << size;
        EXPECT_EQ(nullptr, factory.createBitmap(CPoint(8, size))) << size;
    }
    IPlatformBitmap* empty = factory.createBitmap(CPoint(0, 0)); // ready for load()
    ASSERT_NE(nullptr, empty);
    EXPECT_TRUE(empty->load(CResourceRef(1)));
    empty->releaseReference();
}

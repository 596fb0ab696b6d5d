// Guards against GDI+ drawing that rounds positions instead of truncating them, ignores or
// squares the opacity, decodes and keeps resource images wrongly, or whose kept resampled parts
// differ from filtering on each paint.
#include "cbitmap.h"
#include "doublesizevariant.h"
#include "gdiplus/gdiplusbitmap.h"
#include "gdiplus/gdiplusdrawcontext.h"
#include "gdiplus/gdiplusglobals.h"
#include "gdiplus/gdiplusoffscreencontext.h"
#include "win32graphics.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace Toolkit;
using namespace Toolkit::Win32Platform;
using namespace graphicstest;

namespace {

// Copies straight (not premultiplied) 0xAARRGGBB pixels, row by row, between `pixels` and
// the area of `image`; `mode` is ImageLockModeRead or ImageLockModeWrite.
void transfer(Gdiplus::GpBitmap* image, const Gdiplus::GpRect& area, std::uint32_t* pixels,
              UINT mode) {
    Gdiplus::BitmapData data{};
    data.Width = static_cast<UINT>(area.Width);
    data.Height = static_cast<UINT>(area.Height);
    data.Stride = area.Width * 4;
    data.PixelFormat = PixelFormat32bppARGB;
    data.Scan0 = pixels;
    EXPECT_EQ(Gdip::GdipBitmapLockBits(image, &area, mode | Gdiplus::ImageLockModeUserInputBuf,
                                       PixelFormat32bppARGB, &data),
              Gdiplus::Ok);
    Gdip::GdipBitmapUnlockBits(image, &data);
}

// Straight (not premultiplied) 0xAARRGGBB pixels of a GDI+ bitmap, row by row.
std::vector<std::uint32_t> pixelsOf(const GdiplusBitmap& bitmap, int x = 0, int y = 0,
                                    int width = -1, int height = -1) {
    const CPoint size = bitmap.size();
    width = width < 0 ? static_cast<int>(size.x) : width;
    height = height < 0 ? static_cast<int>(size.y) : height;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width * height));
    transfer(bitmap.image(), Gdiplus::GpRect(x, y, width, height), out.data(),
             Gdiplus::ImageLockModeRead);
    return out;
}

// A new bitmap of that size whose pixels are `colour(x, y)`.
template <class Colour> CBitmap* painted(int width, int height, Colour colour) {
    auto* image = new GdiplusBitmap(width, height);
    std::vector<std::uint32_t> pixels = pixelsOfColour(width, height, colour);
    transfer(image->image(), Gdiplus::GpRect(0, 0, width, height), pixels.data(),
             Gdiplus::ImageLockModeWrite);
    auto* bitmap = new CBitmap(image);
    image->releaseReference();
    return bitmap;
}

// A transparent offscreen canvas and the pixels drawn into it.
struct Canvas {
    CBitmap* bitmap;
    GdiplusOffscreenContext* context;

    Canvas(int width, int height) {
        auto* image = new GdiplusBitmap(width, height);
        bitmap = new CBitmap(image);
        image->releaseReference();
        context = new GdiplusOffscreenContext(bitmap);
    }
    ~Canvas() {
        context->releaseReference();
        bitmap->releaseReference();
    }
    std::vector<std::uint32_t> pixels() {
        context->endDraw();
        return pixelsOf(*static_cast<GdiplusBitmap*>(bitmap->platformBitmap()));
    }
};

int alphaOf(std::uint32_t argb) {
    return static_cast<int>(argb >> 24);
}

// Channels equal within `tolerance`.
bool withinTolerance(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) -
                     static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
            return false;
        }
    }
    return true;
}

} // namespace

TEST(GdiplusDrawing, PositionsAndSizesAreTruncatedSeparatelyNotRounded) {
    CBitmap* source = painted(4, 4, [](int x, int y) {
        return 0xFF000000u | std::uint32_t(40 + x * 60) << 16 | std::uint32_t(40 + y * 60) << 8 |
               0x10u;
    });
    Canvas canvas(8, 8);
    canvas.context->setOffset(CPoint(1.6, 0.7));
    // x = trunc 1.7 + trunc 1.6 = 2, y = trunc 2.9 + trunc 0.7 = 2, size trunc 2.9 x trunc 2.5
    // = 2 x 2, source from trunc (1.9, 0.5) = (1, 0). Rounding would give (4, 4), 3 x 3, (2, 1).
    canvas.context->drawBitmap(source, CRect(1.7, 2.9, 1.7 + 2.9, 2.9 + 2.5), CPoint(1.9, 0.5),
                               1.0f);
    const auto drawn = canvas.pixels();
    const auto original = pixelsOf(*static_cast<GdiplusBitmap*>(source->platformBitmap()));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool inside = x >= 2 && x < 4 && y >= 2 && y < 4;
            const std::uint32_t expected = inside ? original[(y - 2) * 4 + (x - 2 + 1)] : 0u;
            EXPECT_TRUE(withinTolerance(drawn[y * 8 + x], expected, 1))
                << "pixel (" << x << ", " << y << ") is " << std::hex << drawn[y * 8 + x]
                << ", expected " << expected;
        }
    }
    source->releaseReference();
}

TEST(GdiplusDrawing, OpacityIsBitmapAlphaTimesGlobalAlphaThroughTheColourMatrix) {
    CBitmap* white = painted(2, 2, [](int, int) { return 0xFFFFFFFFu; });
    struct Case {
        float bitmapAlpha, globalAlpha;
        int expectedAlpha;
    };
    for (const Case& c : {Case{1.0f, 1.0f, 255}, Case{0.5f, 0.5f, 64}, Case{0.25f, 1.0f, 64},
                          Case{1.0f, 0.0f, 0}, Case{0.0f, 1.0f, 0}, Case{2.0f, 0.5f, 255}}) {
        Canvas canvas(2, 2);
        canvas.context->setGlobalAlpha(c.globalAlpha);
        canvas.context->drawBitmap(white, CRect(0, 0, 2, 2), CPoint(), c.bitmapAlpha);
        const std::uint32_t pixel = canvas.pixels()[3];
        EXPECT_NEAR(alphaOf(pixel), c.expectedAlpha, 1)
            << "bitmap alpha " << c.bitmapAlpha << ", global " << c.globalAlpha;
        if (c.expectedAlpha > 0) {
            EXPECT_EQ(pixel & 0xFFFFFF, 0xFFFFFFu); // only the alpha channel is scaled
        }
    }
    white->releaseReference();

    // Shapes carry the global alpha too: pens and brushes follow it.
    Canvas canvas(4, 4);
    canvas.context->setFillColor(CColor(0, 0, 255, 255));
    canvas.context->setGlobalAlpha(0.5f);
    canvas.context->drawRect(CRect(0, 0, 4, 4), kDrawFilled);
    EXPECT_NEAR(alphaOf(canvas.pixels()[5]), 128, 1);
}

TEST(GdiplusDrawing, AKnobFrameComesFromItsFilmstripOffsetUnscaled) {
    auto* knob = new GdiplusBitmap();
    ASSERT_TRUE(knob->load(CResourceRef(1)));
    ASSERT_EQ(knob->size().x, 119.0);
    ASSERT_EQ(knob->size().y, 119.0 * 45);
    CBitmap strip(knob);
    knob->releaseReference();

    for (int frame : {0, 7, 44}) {
        Canvas canvas(119, 119);
        canvas.context->drawBitmap(&strip, CRect(0, 0, 119, 119), CPoint(0, 119.0 * frame), 1.0f);
        const auto drawn = canvas.pixels();
        const auto expected = pixelsOf(*static_cast<GdiplusBitmap*>(strip.platformBitmap()), 0,
                                       119 * frame, 119, 119);
        int differing = 0;
        for (std::size_t i = 0; i < drawn.size(); ++i) {
            differing += withinTolerance(drawn[i], expected[i], 2) ? 0 : 1;
        }
        EXPECT_EQ(differing, 0) << "frame " << frame;
    }
}

TEST(GdiplusBitmapLoading, DecodesPngResourcesOnceAndSharesThePixelsPerId) {
    // Missing, not an image, and an image under another type: no image, size 0.
    for (int id : {99, 2, 3}) {
        auto* bitmap = new GdiplusBitmap();
        EXPECT_FALSE(bitmap->load(CResourceRef(id))) << id;
        EXPECT_EQ(bitmap->size().x, 0.0);
        EXPECT_EQ(bitmap->image(), nullptr);
        bitmap->releaseReference();
    }

    const std::size_t before = GdiplusBitmap::sharedImageCount();
    auto* first = new GdiplusBitmap();
    auto* second = new GdiplusBitmap();
    ASSERT_TRUE(first->load(CResourceRef(4)));
    ASSERT_TRUE(second->load(CResourceRef(4)));
    EXPECT_EQ(GdiplusBitmap::sharedImageCount(), before + 1);
    EXPECT_NE(first->image(), second->image()); // one GDI+ object each, for thread safety
    EXPECT_EQ(pixelsOf(*first), pixelsOf(*second));
    EXPECT_EQ(first->size().x, 32.0);
    EXPECT_EQ(first->size().y, 64.0);
    // A bitmap that holds an image keeps it.
    EXPECT_FALSE(first->load(CResourceRef(1)));
    EXPECT_EQ(first->size().y, 64.0);
    first->releaseReference();
    EXPECT_EQ(GdiplusBitmap::sharedImageCount(), before + 1);
    second->releaseReference();
    EXPECT_EQ(GdiplusBitmap::sharedImageCount(), before);
}

TEST(GdiplusGlobals, RunWhileAnyBitmapOrWindowClassHoldsThem) {
    const int before = GDIPlusGlobals::references();
    auto* bitmap = new GdiplusBitmap(); // the first user starts GDI+
    EXPECT_EQ(GDIPlusGlobals::references(), before + 1);
    EXPECT_TRUE(GDIPlusGlobals::running());
    acquireGraphicsGlobals(); // as the window class does
    bitmap->releaseReference();
    EXPECT_TRUE(GDIPlusGlobals::running());
    releaseGraphicsGlobals();
    EXPECT_EQ(GDIPlusGlobals::references(), before);
    EXPECT_EQ(GDIPlusGlobals::running(), before > 0);
    if (before == 0) {
        releaseGraphicsGlobals(); // unbalanced: ignored once nobody holds a reference
        EXPECT_EQ(GDIPlusGlobals::references(), 0);
    }
    // And it starts again for the next user.
    auto* again = new GdiplusBitmap();
    ASSERT_TRUE(again->load(CResourceRef(4)));
    EXPECT_TRUE(GDIPlusGlobals::running());
    again->releaseReference();
}

// Above 1x the image comes from its double-size variant: exactly 2x copies the variant's pixels
// one for one, other scales filter without pulling in the neighbouring filmstrip frame.
TEST(GdiplusDrawing, AboveOneTimesDrawsTheDoubleSizeVariantUnfilteredAtTwoAndUnbledElsewhere) {
    CBitmap* strip = painted(2, 4, stripColour);
    CBitmap* twice = painted(4, 8, variantColour);
    ASSERT_TRUE(strip->setDoubleSizePlatformBitmap(twice->platformBitmap()));
    const auto variant = pixelsOf(*static_cast<GdiplusBitmap*>(twice->platformBitmap()));

    Canvas canvas(10, 10);
    canvas.context->setScaleFactor(2.0);
    canvas.context->setOffset(CPoint(0.5, 0)); // truncated away, as at 1x
    canvas.context->drawBitmap(strip, CRect(1, 1, 3, 3), CPoint(0, 2), 1.0f);
    expectVariantCopiedAt2x(canvas.pixels(), variant);

    for (const double scale : {1.25, 1.5, 3.0}) {
        Canvas scaled(8, 8);
        scaled.context->setScaleFactor(scale);
        scaled.context->drawBitmap(strip, CRect(0, 0, 2, 2), CPoint(0, 0), 1.0f);
        expectFirstFrameUnbled(scaled.pixels(), scale);
    }

    // At 1x the variant is never used.
    Canvas plain(2, 2);
    plain.context->drawBitmap(strip, CRect(0, 0, 2, 2), CPoint(0, 2), 1.0f);
    EXPECT_EQ(plain.pixels(), std::vector<std::uint32_t>(4, 0xFF0000FFu));
    twice->releaseReference();
    strip->releaseReference();
}

namespace {

// A GDI+ graphics over a device context with a 32-bit DIB, as a window's is: GDI+ blends into
// device contexts and into its own bitmaps on different paths.
struct DeviceCanvas {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP surface = nullptr;
    HGDIOBJ before = nullptr;
    void* bits = nullptr;
    int width, height;
    Gdiplus::GpGraphics* graphics = nullptr;
    GdiplusDrawContext* context = nullptr;

    DeviceCanvas(int w, int h) : width(w), height(h) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        surface = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        before = SelectObject(dc, surface);
        Gdip::GdipCreateFromHDC(dc, &graphics);
        context = new GdiplusDrawContext(graphics, CRect(0, 0, w, h));
    }
    ~DeviceCanvas() {
        context->releaseReference(); // deletes the graphics
        SelectObject(dc, before);
        DeleteObject(surface);
        DeleteDC(dc);
    }
    std::vector<std::uint32_t> pixels() {
        context->endDraw();
        GdiFlush();
        const auto* from = static_cast<const std::uint32_t*>(bits);
        return {from, from + static_cast<std::size_t>(width) * height};
    }
};

// Knob frames at in-between sizes and positions that fall at different fractions of a device
// pixel, drawn into a bitmap and into a device context.
template <class Target> std::vector<std::vector<std::uint32_t>> drawnKnobs(CBitmap& strip) {
    std::vector<std::vector<std::uint32_t>> out;
    for (const double scale : {1.25, 1.5, 3.0}) {
        for (const int at : {0, 1, 3}) {
            Target target(200, 200);
            target.context->setScaleFactor(scale);
            target.context->drawBitmap(&strip, CRect(at, at + 1, at + 40, at + 41),
                                       CPoint(0, 119.0 * (at + 5)), 1.0f);
            out.push_back(target.pixels());
        }
    }
    return out;
}

// Where two sets of drawings differ, if anywhere: the drawing, pixel and both values.
std::string firstDifference(const std::vector<std::vector<std::uint32_t>>& actual,
                            const std::vector<std::vector<std::uint32_t>>& expected) {
    if (actual.size() != expected.size()) {
        return "a different number of drawings";
    }
    int count = 0;
    std::string first;
    for (std::size_t d = 0; d < actual.size(); ++d) {
        for (std::size_t i = 0; i < actual[d].size() && i < expected[d].size(); ++i) {
            if (actual[d][i] != expected[d][i] && count++ == 0) {
                char text[96];
                std::snprintf(text, sizeof text, "drawing %zu pixel %zu: %08x, expected %08x", d, i,
                              actual[d][i], expected[d][i]);
                first = text;
            }
        }
    }
    return count ? first + " (" + std::to_string(count) + " differ)" : std::string();
}

} // namespace

TEST(GdiplusDrawing, InBetweenSizesCopyAPartResampledOnceExactlyAsFilteringItEachTime) {
    auto* knob = new GdiplusBitmap();
    ASSERT_TRUE(knob->load(CResourceRef(1)));
    CBitmap strip(knob);
    knob->releaseReference();

    GdiplusBitmap::keepResampledParts(false);
    const auto filteredIntoBitmap = drawnKnobs<Canvas>(strip);
    const auto filteredIntoDevice = drawnKnobs<DeviceCanvas>(strip);
    GdiplusBitmap::keepResampledParts(true);
    const std::size_t before = GdiplusBitmap::resampledBytes();
    EXPECT_EQ(firstDifference(drawnKnobs<Canvas>(strip), filteredIntoBitmap), "");
    EXPECT_EQ(firstDifference(drawnKnobs<DeviceCanvas>(strip), filteredIntoDevice), "");
    // Kept for the two sizes last drawn (1.5x and 3x): 3 parts each, the size of their
    // device pixels.
    const std::size_t kept = GdiplusBitmap::resampledBytes() - before;
    EXPECT_GE(kept, 3 * 4u * (60 * 60 + 120 * 120));
    EXPECT_LE(kept, 3 * 4u * (62 * 62 + 122 * 122));
    // Drawn again: copied, nothing more kept.
    EXPECT_EQ(firstDifference(drawnKnobs<Canvas>(strip), filteredIntoBitmap), "");
    EXPECT_EQ(GdiplusBitmap::resampledBytes() - before, kept);
}

TEST(GdiplusBitmapLoading, ResampledPartsGoWithTheLastBitmapOfTheirImage) {
    const std::size_t before = GdiplusBitmap::resampledBytes();
    {
        auto* knob = new GdiplusBitmap();
        ASSERT_TRUE(knob->load(CResourceRef(1)));
        CBitmap strip(knob);
        knob->releaseReference();
        Canvas canvas(100, 100);
        canvas.context->setScaleFactor(1.5);
        canvas.context->drawBitmap(&strip, CRect(0, 0, 40, 40), CPoint(0, 0), 1.0f);
        canvas.pixels();
        EXPECT_GT(GdiplusBitmap::resampledBytes(), before);
        // With an opacity the part is filtered on each paint: nothing more is kept.
        const std::size_t opaque = GdiplusBitmap::resampledBytes();
        canvas.context->drawBitmap(&strip, CRect(0, 0, 40, 40), CPoint(0, 119), 0.5f);
        canvas.pixels();
        EXPECT_EQ(GdiplusBitmap::resampledBytes(), opaque);
    }
    EXPECT_EQ(GdiplusBitmap::resampledBytes(), before);
}

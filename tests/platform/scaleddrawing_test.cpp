// Guards the cairo back-end above 1x against blurred or shifted pixels at exactly 2x, a
// filtered filmstrip picture that bleeds in its neighbour, shapes and clears that miss pixels,
// and a system scale read from garbage in the X resource database or GDK_SCALE.
#include "cairobitmap.h"
#include "cairodrawcontext.h"
#include "systemscale.h"
#include "toolkit/cbitmap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace Toolkit::LinuxPlatform {
namespace {

constexpr std::uint32_t kRed = 0xFFFF0000;
constexpr std::uint32_t kBlue = 0xFF0000FF;
constexpr std::uint32_t kGreen = 0xFF00FF00;

// A bitmap of two stacked pictures (`size` x `size` each), the upper one filled with `top`
// except a green pixel at its top-left corner, the lower one `bottom`.
CairoBitmap* twoPictures(int size, std::uint32_t top, std::uint32_t bottom) {
    auto* bitmap = new CairoBitmap(size, 2 * size);
    cairo_surface_t* s = bitmap->writableSurface();
    cairo_surface_flush(s);
    for (int y = 0; y < 2 * size; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                     y * cairo_image_surface_get_stride(s));
        for (int x = 0; x < size; ++x) {
            row[x] = y < size ? top : bottom;
        }
    }
    *reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(s)) = kGreen;
    cairo_surface_mark_dirty(s);
    return bitmap;
}

struct Target {
    explicit Target(int size)
        : surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size)),
          context(new CairoDrawContext(surface)) {}
    ~Target() {
        context->releaseReference();
        cairo_surface_destroy(surface);
    }
    std::uint32_t at(int x, int y) {
        cairo_surface_flush(surface);
        return reinterpret_cast<const std::uint32_t*>(
            cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface))[x];
    }
    cairo_surface_t* surface;
    CairoDrawContext* context;
};

// A 4 x 4-unit two-picture filmstrip with its double-size variant.
CBitmap* filmstrip() {
    CairoBitmap* one = twoPictures(4, kRed, kBlue);
    CairoBitmap* two = twoPictures(8, kRed, kBlue);
    auto* bitmap = new CBitmap(one);
    one->releaseReference();
    EXPECT_TRUE(bitmap->setDoubleSizePlatformBitmap(two));
    two->releaseReference();
    return bitmap;
}

TEST(ScaledCairoDrawing, At2xTheVariantsPixelsAreCopiedUnfiltered) {
    CBitmap* bitmap = filmstrip();
    Target target(16);
    target.context->setScaleFactor(2.0);
    target.context->drawBitmap(bitmap, CRect(1, 1, 5, 5), CPoint(0, 0), 1.0f);
    EXPECT_EQ(target.at(2, 2), kGreen); // the variant's single green pixel, not a 2 x 2 block
    EXPECT_EQ(target.at(3, 2), kRed);
    EXPECT_EQ(target.at(2, 3), kRed);
    EXPECT_EQ(target.at(9, 9), kRed);
    EXPECT_EQ(target.at(10, 10), 0u); // outside: untouched
    EXPECT_EQ(target.at(1, 1), 0u);
    bitmap->releaseReference();
}

TEST(ScaledCairoDrawing, FilteredScalesNeverBleedInTheNextPicture) {
    for (const double scale : {1.25, 1.5, 1.75, 2.5, 3.0}) {
        CBitmap* bitmap = filmstrip();
        Target target(32);
        target.context->setScaleFactor(scale);
        target.context->drawBitmap(bitmap, CRect(2, 2, 6, 6), CPoint(0, 0), 1.0f);
        const int inside = static_cast<int>(std::ceil(2 * scale));
        const int end = static_cast<int>(std::floor(6 * scale));
        for (int y = inside; y < end; ++y) {
            for (int x = inside; x < end; ++x) {
                const std::uint32_t p = target.at(x, y);
                EXPECT_EQ(p & 0xFF, 0u) << "blue at " << x << "," << y << " at " << scale;
                EXPECT_EQ(p >> 24, 0xFFu) << "not covered at " << x << "," << y << " at " << scale;
            }
        }
        bitmap->releaseReference();
    }
}

TEST(ScaledCairoDrawing, WithoutAVariantThe1xImageIsEnlarged) {
    CairoBitmap* one = twoPictures(4, kRed, kBlue);
    auto* bitmap = new CBitmap(one);
    one->releaseReference();
    Target target(16);
    target.context->setScaleFactor(2.0);
    target.context->drawBitmap(bitmap, CRect(0, 0, 4, 4), CPoint(0, 4), 1.0f);
    EXPECT_EQ(target.at(0, 0), kBlue);
    EXPECT_EQ(target.at(7, 7), kBlue);
    EXPECT_EQ(target.at(8, 8), 0u);
    bitmap->releaseReference();
}

TEST(ScaledCairoDrawing, ShapesAndClearsCoverTheirScaledPixels) {
    Target target(16);
    target.context->setScaleFactor(1.5);
    target.context->setFillColor(kRedCColor);
    target.context->drawRect(CRect(2, 2, 4, 4), kDrawFilled);
    EXPECT_EQ(target.at(3, 3), kRed);
    EXPECT_EQ(target.at(5, 5), kRed);
    EXPECT_EQ(target.at(6, 6), 0u);
    target.context->clearRect(CRect(2, 2, 4, 4));
    EXPECT_EQ(target.at(3, 3), 0u);
    EXPECT_EQ(target.at(5, 5), 0u);
}

TEST(SystemScale, XftDpiIsReadFromTheDatabaseText) {
    EXPECT_EQ(scaleFromResourceDatabase("Xft.dpi:\t192\n"), 2.0);
    EXPECT_EQ(scaleFromResourceDatabase("Xft.antialias:\t1\nXft.dpi: 144\nXcursor.size: 48\n"),
              1.5);
    EXPECT_EQ(scaleFromResourceDatabase("Xft.dpi:\t96\nXft.dpi:\t120\n"), 1.25); // last wins
    EXPECT_EQ(scaleFromResourceDatabase("Xft.dpi: 120.5"), 120.5 / 96); // no newline at the end
    for (const char* bad : {"", "Xft.dpi:", "Xft.dpi: abc", "Xft.dpi: 96x", "Xft.dpi: 1e9",
                            "Xft.dpi: -96", "Xft.dpi: nan", "*dpi: 192", "Xft.dpix: 192"}) {
        EXPECT_EQ(scaleFromResourceDatabase(bad), 0.0) << bad;
    }
}

TEST(SystemScale, OnlyAWholeGdkScaleCounts) {
    EXPECT_EQ(scaleFromGdkScale("2"), 2.0);
    EXPECT_EQ(scaleFromGdkScale("1"), 1.0);
    for (const char* bad : {static_cast<const char*>(nullptr), "", "0", "-2", "1.5", "2x", "99",
                            "99999999999999999999"}) {
        EXPECT_EQ(scaleFromGdkScale(bad), 0.0) << (bad ? bad : "(null)");
    }
}

} // namespace
} // namespace Toolkit::LinuxPlatform

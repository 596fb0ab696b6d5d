// Guards against shared images that are decoded again for every bitmap, leak after their last
// user, change under one bitmap when another is drawn into, or break when threads race for them;
// and against an image embedded in slices that decodes more than a paint shows, shows other
// pixels than the whole image, or decodes a slice twice when threads race for it.
#include "cairobitmap.h"
#include "cairodrawcontext.h"
#include "cairooffscreencontext.h"
#include "cbitmap.h"
#include "platform/sharedimagecache.h"
#include "resourceimage.h"

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace Toolkit;
using namespace Toolkit::LinuxPlatform;

namespace {
cairo_surface_t* surfaceOf(const CBitmap& bitmap) {
    return static_cast<CairoBitmap*>(bitmap.platformBitmap())->surface();
}
std::uint32_t firstPixel(cairo_surface_t* s) {
    cairo_surface_flush(s);
    return *reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s));
}
} // namespace

TEST(SharedImages, BitmapsOfOneIdShareOnePixelBufferUntilTheLastGoes) {
    ASSERT_EQ(0u, ResourceImage::alive());
    {
        CBitmap a{CResourceRef(1)}, b{CResourceRef(1)}, other{CResourceRef(2)};
        EXPECT_EQ(2u, ResourceImage::alive());
        ASSERT_NE(nullptr, surfaceOf(a));
        EXPECT_NE(surfaceOf(a), surfaceOf(b)) << "each bitmap draws through a surface of its own";
        EXPECT_EQ(cairo_image_surface_get_data(surfaceOf(a)),
                  cairo_image_surface_get_data(surfaceOf(b)));
    }
    EXPECT_EQ(0u, ResourceImage::alive());
    CBitmap again{CResourceRef(1)};
    EXPECT_EQ(0xFFFF0000u, firstPixel(surfaceOf(again))) << "decoded afresh after being freed";
}

TEST(SharedImages, DrawingIntoOneBitmapLeavesTheSharedPixelsAlone) {
    CBitmap drawnInto{CResourceRef(2)}, untouched{CResourceRef(2)};
    const std::uint32_t white = firstPixel(surfaceOf(untouched));
    auto* context = new CairoOffscreenContext(&drawnInto);
    context->setFillColor(CColor(0, 0, 0));
    context->drawRect(CRect(0, 0, 8, 8), kDrawFilled);
    context->endDraw();
    context->releaseReference();
    EXPECT_EQ(0xFF000000u, firstPixel(surfaceOf(drawnInto)));
    EXPECT_EQ(white, firstPixel(surfaceOf(untouched)));
    EXPECT_EQ(CPoint(8, 8), CPoint(drawnInto.width(), drawnInto.height()));
}

TEST(SharedImageCache, ThreadsRacingForIdsShareEachImageAndLeaveNothingBehind) {
    struct Counted {
        explicit Counted(std::atomic<int>& live) : live(live) { ++live; }
        ~Counted() { --live; }
        std::atomic<int>& live;
    };
    std::atomic<int> live{0}, made{0};
    SharedImageCache<Counted> cache;
    auto worker = [&] {
        for (int i = 0; i < 2000; ++i) {
            const std::int32_t id = i % 3;
            auto first = cache.acquire(id, [&] {
                ++made;
                return std::make_unique<Counted>(live);
            });
            auto second = cache.acquire(id, [] { return std::unique_ptr<Counted>(); });
            EXPECT_EQ(first, second);
            // Ids nobody can make are not remembered.
            EXPECT_EQ(nullptr, cache.acquire(7, [] { return std::unique_ptr<Counted>(); }));
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back(worker);
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(0, live.load());
    EXPECT_EQ(0u, cache.size());
    EXPECT_GT(made.load(), 0);
}

namespace {
bool sameBytes(cairo_surface_t* a, cairo_surface_t* b) {
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    const auto size = static_cast<std::size_t>(cairo_image_surface_get_stride(a)) *
                      static_cast<std::size_t>(cairo_image_surface_get_height(a));
    return cairo_image_surface_get_height(a) == cairo_image_surface_get_height(b) &&
           cairo_image_surface_get_stride(a) == cairo_image_surface_get_stride(b) &&
           std::memcmp(cairo_image_surface_get_data(a), cairo_image_surface_get_data(b), size) == 0;
}
} // namespace

TEST(SlicedImages, APaintDecodesOnlyThePicturesItShowsWithTheWholeImagesPixels) {
    // Ids 1 and 13: the same red, green and blue 4 x 4 filmstrip, whole and in three slices.
    CBitmap whole{CResourceRef(1)}, sliced{CResourceRef(13)};
    auto* image = static_cast<CairoBitmap*>(sliced.platformBitmap());
    ASSERT_NE(nullptr, image);
    EXPECT_TRUE(image->decodesInSlices());
    EXPECT_FALSE(static_cast<CairoBitmap*>(whole.platformBitmap())->decodesInSlices());
    EXPECT_EQ(CPoint(4, 12), CPoint(sliced.width(), sliced.height()));
    ResourceImage* shared = image->sharedImage();
    EXPECT_EQ(0, shared->decodedSlices()) << "made, not drawn: nothing decoded";

    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4);
    auto* context = new CairoDrawContext(target);
    sliced.draw(context, CRect(0, 0, 4, 4), CPoint(0, 4)); // the second picture, as a knob does
    context->releaseReference();
    EXPECT_EQ(1, shared->decodedSlices());
    EXPECT_EQ(0xFF00FF00u, firstPixel(target)) << "green";
    cairo_surface_destroy(target);

    EXPECT_TRUE(sameBytes(surfaceOf(whole), surfaceOf(sliced))) << "every row asked for";
    EXPECT_EQ(3, shared->decodedSlices());
}

TEST(SlicedImages, ThreadsRacingForRowsDecodeEachSliceOnce) {
    CBitmap whole{CResourceRef(1)};
    for (int round = 0; round < 50; ++round) {
        CBitmap sliced{CResourceRef(13)};
        auto* image = static_cast<CairoBitmap*>(sliced.platformBitmap());
        ResourceImage* shared = image->sharedImage();
        // Each thread its own surface, as each bitmap of an image has.
        std::vector<cairo_surface_t*> views(4);
        for (auto& view : views) {
            view = shared->newSurface();
        }
        std::vector<std::thread> threads;
        threads.emplace_back([&] { shared->prepareRowsFromBottom(); });
        threads.emplace_back([&] { shared->prepareRows(0, 12); });
        threads.emplace_back([&] { shared->prepareRows(5, 6); });
        threads.emplace_back([&] { shared->prepareRows(-3, 100); });
        for (auto& t : threads) {
            t.join();
        }
        EXPECT_EQ(3, shared->decodedSlices());
        for (cairo_surface_t* view : views) {
            EXPECT_TRUE(sameBytes(surfaceOf(whole), view));
            cairo_surface_destroy(view);
        }
    }
}

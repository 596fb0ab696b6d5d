// Guards against shared images that are decoded again for every bitmap, leak after their last
// user, change under one bitmap when another is drawn into, or break when threads race for them.
#include "cairobitmap.h"
#include "cairooffscreencontext.h"
#include "cbitmap.h"
#include "platform/sharedimagecache.h"
#include "resourceimage.h"

#include <atomic>
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

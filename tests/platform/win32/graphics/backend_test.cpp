// Guards against a back-end choice that ignores the GDI+ override, mixes back-ends, or hands
// out bitmaps and contexts for sizes that make no image.
#include "cbitmap.h"
#include "coffscreencontext.h"
#include "platform/iplatformbitmap.h"
#include "win32graphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace Toolkit;
using namespace Toolkit::Win32Platform;

TEST(GraphicsBackend, IsDirect2DUnlessGdiplusIsForcedAndEverythingFollowsIt) {
    const char* forced = std::getenv("GRAVELIX_GRAPHICS");
    const bool gdiplus = forced && std::strcmp(forced, "gdiplus") == 0;
    // Wine ships d2d1.dll with D2D1CreateFactory, so only the override selects GDI+.
    EXPECT_EQ(graphicsBackend(), gdiplus ? GraphicsBackend::gdiplus : GraphicsBackend::direct2d);
    const char* kind = gdiplus ? "GdiplusBitmap" : "D2DBitmap";

    IPlatformBitmap* empty = createBitmap(CPoint(0, 0));
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->isKindOf(kind));
    EXPECT_EQ(empty->size().x, 0.0);
    EXPECT_TRUE(empty->load(CResourceRef(99)) == false);
    empty->releaseReference();

    COffscreenContext* offscreen = createOffscreenContext(3.7, 2.0);
    ASSERT_NE(offscreen, nullptr);
    EXPECT_TRUE(offscreen->bitmap()->platformBitmap()->isKindOf(kind));
    EXPECT_EQ(offscreen->bitmap()->width(), 3.0);
    EXPECT_EQ(offscreen->surfaceRect(), CRect(0, 0, 3, 2));
    offscreen->releaseReference();

    // The choice is made once: changing the environment later changes nothing.
    _putenv(gdiplus ? "GRAVELIX_GRAPHICS=" : "GRAVELIX_GRAPHICS=gdiplus");
    EXPECT_EQ(graphicsBackend(), gdiplus ? GraphicsBackend::gdiplus : GraphicsBackend::direct2d);
}

TEST(GraphicsBackend, RefusesSizesThatMakeNoImage) {
    for (const CPoint& size : {CPoint(0.5, 10), CPoint(10, 0), CPoint(40000, 1), CPoint(-1, -1),
                               CPoint(std::nan(""), 4)}) {
        EXPECT_EQ(createBitmap(size), nullptr) << size.x << " x " << size.y;
        EXPECT_EQ(createOffscreenContext(size.x, size.y), nullptr);
    }
    EXPECT_EQ(createWindowContext(nullptr, CRect(0, 0, 10, 10)), nullptr);
}

// Guards against off-by-one edge rules in rectangles: exclusive edges or a negative-size
// intersection would make hits on a view's border miss and empty clips draw.

#include "toolkit/crect.h"

#include <gtest/gtest.h>

using namespace Toolkit;

TEST(Geometry, EdgesAreInsideAndTouchingRectsOverlap) {
    const CRect r(10, 20, 30, 40);
    EXPECT_TRUE(r.pointInside({30, 40}));
    EXPECT_TRUE(r.pointInside({10, 20}));
    EXPECT_FALSE(r.pointInside({30.001, 40}));
    EXPECT_TRUE(r.rectOverlap(CRect(30, 40, 50, 50)));
    EXPECT_FALSE(r.rectOverlap(CRect(30.5, 0, 50, 50)));
}

TEST(Geometry, EmptyIntersectionKeepsPositionWithZeroSize) {
    CRect r(0, 0, 10, 10);
    r.bound(CRect(20, 30, 40, 50));
    EXPECT_EQ(r, CRect(20, 30, 20, 30));
    EXPECT_TRUE(r.isEmpty());
    CRect s(0, 0, 10, 10);
    EXPECT_EQ(s.bound(CRect(5, -5, 15, 5)), CRect(5, 0, 10, 5));
}

#pragma once

#include "cpoint.h"

#include <algorithm>

namespace Toolkit {

// Axis-aligned rectangle; every edge counts as inside for hit tests.
struct CRect {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;

    constexpr CRect() = default;
    constexpr CRect(double l, double t, double r, double b)
        : left(l), top(t), right(r), bottom(b) {}
    constexpr CRect(const CPoint& origin, const CPoint& size)
        : left(origin.x), top(origin.y), right(origin.x + size.x), bottom(origin.y + size.y) {}

    constexpr double width() const { return right - left; }
    constexpr double height() const { return bottom - top; }
    constexpr CPoint topLeft() const { return {left, top}; }
    constexpr CPoint size() const { return {width(), height()}; }

    constexpr CRect& offset(double dx, double dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    constexpr CRect& offset(const CPoint& d) { return offset(d.x, d.y); }
    // Keeps the size, places the top-left corner at (x, y).
    constexpr CRect& moveTo(double x, double y) { return offset(x - left, y - top); }
    constexpr CRect& setWidth(double w) {
        right = left + w;
        return *this;
    }
    constexpr CRect& setHeight(double h) {
        bottom = top + h;
        return *this;
    }

    // Intersection; an empty result keeps its position and has zero size.
    constexpr CRect& bound(const CRect& o) {
        left = std::max(left, o.left);
        top = std::max(top, o.top);
        right = std::min(right, o.right);
        bottom = std::min(bottom, o.bottom);
        if (top > bottom) {
            bottom = top;
        }
        if (left > right) {
            right = left;
        }
        return *this;
    }
    constexpr CRect bounded(const CRect& o) const {
        CRect r = *this;
        return r.bound(o);
    }
    constexpr CRect& unite(const CRect& o) {
        left = std::min(left, o.left);
        top = std::min(top, o.top);
        right = std::max(right, o.right);
        bottom = std::max(bottom, o.bottom);
        return *this;
    }

    constexpr bool isEmpty() const { return width() <= 0.0 || height() <= 0.0; }
    constexpr bool pointInside(const CPoint& p) const {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
    // Touching edges count as overlapping.
    constexpr bool rectOverlap(const CRect& o) const {
        return !(left > o.right || o.left > right || top > o.bottom || o.top > bottom);
    }
    constexpr bool operator==(const CRect& o) const = default;
};

} // namespace Toolkit

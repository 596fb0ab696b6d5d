#pragma once

namespace Toolkit {

// Pixel position, x to the right, y downwards.
struct CPoint {
    double x = 0.0;
    double y = 0.0;

    constexpr CPoint() = default;
    constexpr CPoint(double px, double py) : x(px), y(py) {}

    constexpr CPoint& offset(double dx, double dy) {
        x += dx;
        y += dy;
        return *this;
    }
    constexpr CPoint operator+(const CPoint& o) const { return {x + o.x, y + o.y}; }
    constexpr CPoint operator-(const CPoint& o) const { return {x - o.x, y - o.y}; }
    constexpr CPoint& operator+=(const CPoint& o) { return offset(o.x, o.y); }
    constexpr CPoint& operator-=(const CPoint& o) { return offset(-o.x, -o.y); }
    constexpr bool operator==(const CPoint& o) const = default;
};

} // namespace Toolkit

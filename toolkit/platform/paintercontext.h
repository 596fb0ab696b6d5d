// The drawing operations of a back-end's window and offscreen contexts, forwarded to its painter.
#pragma once

#include "../cdrawcontext.h"

#include <cstdint>
#include <utility>

namespace Toolkit {

// A context of `Base` (CDrawContext for windows, COffscreenContext for bitmaps) whose drawing
// calls go to a `Painter`, which reads the context's current state with every call. A painter
// offers line, polygon, rect, arc (with a flag for the full ellipse), point, bitmap and clear,
// and brackets each paint with beginDraw and endDraw; lines (pairs of points, one line each)
// where it can draw them in one go, else they are drawn one by one through line.
template <class Painter, class Base> class PainterContext : public Base {
public:
    // The base is made from `baseArg`, the painter from the rest.
    template <class BaseArg, class... PainterArgs>
    explicit PainterContext(BaseArg&& baseArg, PainterArgs&&... painterArgs)
        : Base(std::forward<BaseArg>(baseArg)), painter(std::forward<PainterArgs>(painterArgs)...) {
    }

    void lineTo(const CPoint& point) override {
        painter.line(*this, this->penLocation(), point);
        Base::moveTo(point);
    }
    void drawLines(const CPoint* points, std::int32_t count) override {
        if constexpr (requires { painter.lines(*this, points, count); }) {
            painter.lines(*this, points, count);
        } else if (points) {
            for (std::int32_t i = 0; i + 1 < count; i += 2) {
                painter.line(*this, points[i], points[i + 1]);
            }
        }
    }
    void drawPolygon(const CPoint* points, std::int32_t count, DrawStyle style) override {
        painter.polygon(*this, points, count, style);
    }
    void drawRect(const CRect& rect, DrawStyle style) override { painter.rect(*this, rect, style); }
    void drawArc(const CRect& rect, double startAngle, double endAngle, DrawStyle style) override {
        painter.arc(*this, rect, startAngle, endAngle, style, false);
    }
    void drawEllipse(const CRect& rect, DrawStyle style) override {
        painter.arc(*this, rect, 0.0, 360.0, style, true);
    }
    void drawPoint(const CPoint& point, const CColor& color) override {
        painter.point(*this, point, color);
    }
    void drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset,
                    float alpha) override {
        painter.bitmap(*this, bitmap, dest, offset, alpha);
    }
    void clearRect(const CRect& rect) override { painter.clear(*this, rect); }
    void beginDraw() override { painter.beginDraw(); }
    void endDraw() override { painter.endDraw(); }

protected:
    Painter painter;
};

} // namespace Toolkit

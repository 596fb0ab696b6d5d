// The drawing primitives of the cairo back-end, shared by the window and offscreen contexts.
#pragma once

#include "cdrawcontext.h"

#include <cairo.h>
#include <utility>

namespace Toolkit::LinuxPlatform {

// Draws into one cairo surface with the state (offset, clip, colours, alpha, line settings,
// scale) of the context that owns it. Every call reads the state afresh, so state changes cost
// nothing. Above 1x everything is drawn scaled; bitmaps come from their double-size variant,
// pixel for pixel at exactly 2x and resampled (cairo's good filter) at other scales.
class CairoPainter {
public:
    // Takes its own reference to `target`; a null or failed target draws nothing.
    explicit CairoPainter(cairo_surface_t* target);
    ~CairoPainter();
    CairoPainter(const CairoPainter&) = delete;
    CairoPainter& operator=(const CairoPainter&) = delete;

    void line(const CDrawContext& state, const CPoint& from, const CPoint& to);
    void lines(const CDrawContext& state, const CPoint* points, std::int32_t count);
    void polygon(const CDrawContext& state, const CPoint* points, std::int32_t count,
                 DrawStyle style);
    void rect(const CDrawContext& state, const CRect& rect, DrawStyle style);
    void arc(const CDrawContext& state, const CRect& rect, double startAngle, double endAngle,
             DrawStyle style, bool fullEllipse);
    void point(const CDrawContext& state, const CPoint& where, const CColor& color);
    void bitmap(const CDrawContext& state, CBitmap* bitmap, const CRect& dest,
                const CPoint& sourceOffset, float alpha);
    void clear(const CDrawContext& state, const CRect& rect);
    void flush();

    cairo_surface_t* target() const { return surface; }

private:
    // Sets up clip, antialiasing and the device offset for one call; false when nothing can be
    // drawn. Every successful begin is paired with end().
    bool begin(const CDrawContext& state);
    void end();
    void setColor(const CDrawContext& state, const CColor& color);
    void setStroke(const CDrawContext& state);
    void finishPath(const CDrawContext& state, DrawStyle style);
    void paintSource(double opacity);
    // Half a pixel for odd-width aliased strokes, so 1-pixel lines cover whole pixels.
    double strokeAlign(const CDrawContext& state) const;

    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
};

// The CDrawContext operations of a context that draws with a CairoPainter; `Base` is
// CDrawContext for windows and COffscreenContext for bitmaps.
template <class Base> class CairoContext : public Base {
public:
    template <class... BaseArgs>
    explicit CairoContext(cairo_surface_t* target, BaseArgs&&... baseArgs)
        : Base(std::forward<BaseArgs>(baseArgs)...), painter(target) {}

    void lineTo(const CPoint& point) override {
        painter.line(*this, this->penLocation(), point);
        Base::moveTo(point);
    }
    void drawLines(const CPoint* points, std::int32_t count) override {
        painter.lines(*this, points, count);
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
    void endDraw() override { painter.flush(); }

protected:
    CairoPainter painter;
};

} // namespace Toolkit::LinuxPlatform

// The drawing primitives of the cairo back-end, shared by the window and offscreen contexts.
#pragma once

#include "cdrawcontext.h"

#include <cairo.h>

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
    // Cairo draws at any time; a paint ends by flushing the surface.
    void beginDraw() {}
    void endDraw() { flush(); }

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

} // namespace Toolkit::LinuxPlatform

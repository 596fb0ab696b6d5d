// The drawing primitives of the GDI+ back-end, shared by the window and offscreen contexts.
#pragma once

#include "cdrawcontext.h"
#include "gdiplusapi.h"

namespace Toolkit::Win32Platform {

// Draws through one GDI+ graphics object with the state (offset, clip, colours, alpha, line
// settings) of the context that owns it; every call reads that state afresh, so pens and
// brushes always carry the current colours and global alpha.
class GdiplusPainter {
public:
    // Takes ownership of `graphics` (null draws nothing) and holds a GDI+ reference.
    // `intoBitmap`: the graphics draws into a GDI+ bitmap rather than a device context.
    explicit GdiplusPainter(Gdiplus::GpGraphics* graphics, bool intoBitmap = false);
    ~GdiplusPainter();
    GdiplusPainter(const GdiplusPainter&) = delete;
    GdiplusPainter& operator=(const GdiplusPainter&) = delete;

    void line(const CDrawContext& state, const CPoint& from, const CPoint& to);
    void polygon(const CDrawContext& state, const CPoint* points, std::int32_t count,
                 DrawStyle style);
    void rect(const CDrawContext& state, const CRect& rect, DrawStyle style);
    void arc(const CDrawContext& state, const CRect& rect, double startAngle, double endAngle,
             DrawStyle style);
    void ellipse(const CDrawContext& state, const CRect& rect, DrawStyle style);
    void arc(const CDrawContext& state, const CRect& rect, double startAngle, double endAngle,
             DrawStyle style, bool fullEllipse) {
        if (fullEllipse) {
            ellipse(state, rect, style);
        } else {
            arc(state, rect, startAngle, endAngle, style);
        }
    }
    void point(const CDrawContext& state, const CPoint& where, const CColor& color);
    void bitmap(const CDrawContext& state, CBitmap* bitmap, const CRect& dest,
                const CPoint& sourceOffset, float alpha);
    // The frame's background image repaints every pixel, so there is nothing to clear.
    void clear(const CDrawContext&, const CRect&) {}
    void flush();
    // GDI+ draws at any time; a paint ends by flushing the graphics.
    void beginDraw() {}
    void endDraw() { flush(); }

    Gdiplus::GpGraphics* graphics() const { return gfx; }
    // The status of the last GDI+ call that failed (Ok while none has).
    Gdiplus::GpStatus lastError() const { return lastStatus; }

private:
    // Clip and antialiasing for one call; false when nothing can be drawn.
    bool begin(const CDrawContext& state);
    void check(Gdiplus::GpStatus status);
    void usePen(const CDrawContext& state);
    void useFill(const CDrawContext& state, const CColor& color);

    Gdiplus::GpGraphics* gfx = nullptr;

    bool intoBitmap = false;
    Gdiplus::GpPen* pen = nullptr;
    Gdiplus::GpSolidFill* fillBrush = nullptr;
    Gdiplus::GpSolidFill* fontBrush = nullptr;
    Gdiplus::GpStatus lastStatus = Gdiplus::Ok;
    int smoothing = -1; // the draw mode last applied
};

// The colour as GDI+ ARGB with its alpha scaled by the global alpha (clamped to 0..1).
Gdiplus::ARGB gdiplusColor(const CColor& color, float globalAlpha);

} // namespace Toolkit::Win32Platform

// The drawing primitives of the GDI+ back-end, shared by the window and offscreen contexts.
#pragma once

#include "cdrawcontext.h"
#include "gdiplusapi.h"

#include <utility>

namespace Toolkit::Win32Platform {

// Draws through one GDI+ graphics object with the state (offset, clip, colours, alpha, line
// settings) of the context that owns it; every call reads that state afresh, so pens and
// brushes always carry the current colours and global alpha.
class GdiplusPainter {
public:
    // Takes ownership of `graphics` (null draws nothing) and holds a GDI+ reference.
    explicit GdiplusPainter(Gdiplus::GpGraphics* graphics);
    ~GdiplusPainter();
    GdiplusPainter(const GdiplusPainter&) = delete;
    GdiplusPainter& operator=(const GdiplusPainter&) = delete;

    void line(const CDrawContext& state, const CPoint& from, const CPoint& to);
    void lines(const CDrawContext& state, const CPoint* points, std::int32_t count);
    void polygon(const CDrawContext& state, const CPoint* points, std::int32_t count,
                 DrawStyle style);
    void rect(const CDrawContext& state, const CRect& rect, DrawStyle style);
    void arc(const CDrawContext& state, const CRect& rect, double startAngle, double endAngle,
             DrawStyle style);
    void ellipse(const CDrawContext& state, const CRect& rect, DrawStyle style);
    void point(const CDrawContext& state, const CPoint& where, const CColor& color);
    void bitmap(const CDrawContext& state, CBitmap* bitmap, const CRect& dest,
                const CPoint& sourceOffset, float alpha);
    void flush();

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
    Gdiplus::GpPen* pen = nullptr;
    Gdiplus::GpSolidFill* fillBrush = nullptr;
    Gdiplus::GpSolidFill* fontBrush = nullptr;
    Gdiplus::GpStatus lastStatus = Gdiplus::Ok;
    int smoothing = -1; // the draw mode last applied
};

// The colour as GDI+ ARGB with its alpha scaled by the global alpha (clamped to 0..1).
Gdiplus::ARGB gdiplusColor(const CColor& color, float globalAlpha);

// The CDrawContext operations of a context that draws with a GdiplusPainter; `Base` is
// CDrawContext for windows and COffscreenContext for bitmaps.
template <class Base> class GdiplusContext : public Base {
public:
    template <class... BaseArgs>
    explicit GdiplusContext(Gdiplus::GpGraphics* graphics, BaseArgs&&... baseArgs)
        : Base(std::forward<BaseArgs>(baseArgs)...), painter(graphics) {}

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
        painter.arc(*this, rect, startAngle, endAngle, style);
    }
    void drawEllipse(const CRect& rect, DrawStyle style) override {
        painter.ellipse(*this, rect, style);
    }
    void drawPoint(const CPoint& point, const CColor& color) override {
        painter.point(*this, point, color);
    }
    void drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset,
                    float alpha) override {
        painter.bitmap(*this, bitmap, dest, offset, alpha);
    }
    // The frame's background image repaints every pixel, so there is nothing to clear.
    void clearRect(const CRect&) override {}
    void endDraw() override { painter.flush(); }

    Gdiplus::GpGraphics* graphics() const { return painter.graphics(); }
    Gdiplus::GpStatus lastError() const { return painter.lastError(); }

protected:
    GdiplusPainter painter;
};

} // namespace Toolkit::Win32Platform

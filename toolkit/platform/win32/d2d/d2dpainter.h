// The drawing primitives of the Direct2D back-end and the life of its render target, shared by
// the window and offscreen contexts.
#pragma once

#include "cdrawcontext.h"
#include "d2dapi.h"

#include <functional>

namespace Toolkit::Win32Platform {

class D2DBitmap;

// Makes the render target a context draws into: one reference for the caller, null on failure.
using RenderTargetMaker = std::function<ID2D1RenderTarget*()>;

// What every render target here is made with: the default (hardware when it can) rendering,
// premultiplied pixels of `format`, and 96 DPI, so that a Direct2D unit is one device pixel.
D2D1_RENDER_TARGET_PROPERTIES renderTargetProperties(DXGI_FORMAT format);

// Draws into one render target with the state of the context that owns it; every call reads
// that state afresh and applies the clip around itself. Drawing happens only between
// beginDraw() and endDraw(), as Direct2D requires.
class D2DPainter {
public:
    // `drawnBitmap` is the image the target draws into (an offscreen context's), whose device
    // copies go stale with every drawing; null for windows.
    D2DPainter(RenderTargetMaker maker, const D2DBitmap* drawnBitmap);
    ~D2DPainter();
    D2DPainter(const D2DPainter&) = delete;
    D2DPainter& operator=(const D2DPainter&) = delete;

    void beginDraw();
    // Ends the drawing; a target that must be recreated is replaced by a new one from the maker.
    void endDraw();

    void line(const CDrawContext& state, const CPoint& from, const CPoint& to);
    void polygon(const CDrawContext& state, const CPoint* points, std::int32_t count,
                 DrawStyle style);
    void rect(const CDrawContext& state, const CRect& rect, DrawStyle style);
    void arc(const CDrawContext& state, const CRect& rect, double startAngle, double endAngle,
             DrawStyle style, bool fullEllipse);
    void point(const CDrawContext& state, const CPoint& where, const CColor& color);
    void bitmap(const CDrawContext& state, CBitmap* bitmap, const CRect& dest,
                const CPoint& sourceOffset, float alpha);
    void clear(const CDrawContext& state, const CRect& rect);

    // Null when no target could be made. Not add-referenced.
    ID2D1RenderTarget* target() const { return renderTarget.Get(); }
    // What the last EndDraw answered.
    HRESULT lastEndDraw() const { return endResult; }

private:
    void makeTarget();
    void dropTarget();
    // Clip and antialiasing for one call; false when nothing can be drawn. Paired with end().
    bool begin(const CDrawContext& state);
    void end();
    // Sets the target's transform to the context's scale factor when it differs.
    void useScale(const CDrawContext& state);
    // The device bitmap holding only `source` (whole pixels of `image`, which is `imageSize`
    // large), kept by D2DBitmapCache; null when `source` is the whole image or the copy fails.
    ComPtr<ID2D1Bitmap> sourceWindow(const D2DBitmap* image, const D2D1_RECT_F& source,
                                     const CPoint& imageSize);
    ID2D1SolidColorBrush* brush(const CDrawContext& state, const CColor& color);
    ID2D1StrokeStyle* stroke(const CDrawContext& state);
    double strokeAlign(const CDrawContext& state) const;
    void path(const CDrawContext& state, const D2D1_POINT_2F* points, std::size_t count,
              bool closed, DrawStyle style);

    RenderTargetMaker maker;
    const D2DBitmap* drawn;
    ComPtr<ID2D1RenderTarget> renderTarget;
    ComPtr<ID2D1SolidColorBrush> solidBrush;
    ComPtr<ID2D1StrokeStyle> dashStyle;
    bool drawing = false;
    int antialias = -1;          // the draw mode last applied
    double transformScale = 1.0; // the scale of the target's transform
    HRESULT endResult = S_OK;
};

} // namespace Toolkit::Win32Platform

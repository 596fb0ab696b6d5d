// A Direct2D context drawing into a CBitmap made by this back-end (through a render target on
// the bitmap's imaging pixels).
#pragma once

#include "coffscreencontext.h"
#include "d2dpainter.h"
#include "platform/paintercontext.h"

namespace Toolkit::Win32Platform {

class D2DOffscreenContext : public PainterContext<D2DPainter, COffscreenContext> {
public:
    // Keeps a reference to `bitmap`; a bitmap of another back-end or without an image gives a
    // context that draws nothing.
    explicit D2DOffscreenContext(CBitmap* bitmap);
    // Draws into the targets `maker` makes instead (a test's, for example).
    D2DOffscreenContext(CBitmap* bitmap, RenderTargetMaker maker);

    bool isKindOf(const char* className) const override;
    ID2D1RenderTarget* renderTarget() const { return painter.target(); }
    HRESULT lastEndDraw() const { return painter.lastEndDraw(); }

    // A render target drawing into `bitmap`'s pixels; null when it has none or Direct2D is
    // missing. One reference for the caller.
    static ID2D1RenderTarget* makeBitmapTarget(CBitmap* bitmap);
};

} // namespace Toolkit::Win32Platform

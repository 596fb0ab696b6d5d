// The Direct2D context that a Win32 window paints through (a window render target that keeps
// its contents between paints).
#pragma once

#include "d2dpainter.h"
#include "platform/paintercontext.h"

namespace Toolkit::Win32Platform {

class D2DDrawContext : public PainterContext<D2DPainter, CDrawContext> {
public:
    // Draws into `window`; `surface` is its client area.
    D2DDrawContext(HWND window, const CRect& surface);
    // Draws into the targets `maker` makes (a test's, for example).
    D2DDrawContext(RenderTargetMaker maker, const CRect& surface);

    bool isKindOf(const char* className) const override;
    ID2D1RenderTarget* renderTarget() const { return painter.target(); }
    HRESULT lastEndDraw() const { return painter.lastEndDraw(); }

    // A render target for the client area of `window`; null when Direct2D or the window is
    // missing. One reference for the caller.
    static ID2D1RenderTarget* makeWindowTarget(HWND window);
};

} // namespace Toolkit::Win32Platform

// The GDI+ context that a Win32 window paints through.
#pragma once

#include "gdipluspainter.h"
#include "platform/paintercontext.h"

namespace Toolkit::Win32Platform {

class GdiplusDrawContext : public PainterContext<GdiplusPainter, CDrawContext> {
public:
    // Draws into `window` (a graphics object for its handle); `surface` is its client area.
    GdiplusDrawContext(HWND window, const CRect& surface);
    // Draws through `graphics`, which it takes over (null draws nothing).
    GdiplusDrawContext(Gdiplus::GpGraphics* graphics, const CRect& surface);

    bool isKindOf(const char* className) const override;
    Gdiplus::GpGraphics* graphics() const { return painter.graphics(); }
    Gdiplus::GpStatus lastError() const { return painter.lastError(); }
};

} // namespace Toolkit::Win32Platform

// A GDI+ context drawing into a CBitmap made by this back-end.
#pragma once

#include "coffscreencontext.h"
#include "gdipluspainter.h"
#include "platform/paintercontext.h"

namespace Toolkit::Win32Platform {

class GdiplusOffscreenContext : public PainterContext<GdiplusPainter, COffscreenContext> {
public:
    // Keeps a reference to `bitmap`; a bitmap of another back-end or without an image gives a
    // context that draws nothing.
    explicit GdiplusOffscreenContext(CBitmap* bitmap);

    bool isKindOf(const char* className) const override;
    Gdiplus::GpGraphics* graphics() const { return painter.graphics(); }
    Gdiplus::GpStatus lastError() const { return painter.lastError(); }
};

} // namespace Toolkit::Win32Platform

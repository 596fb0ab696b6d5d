#include "gdiplusdrawcontext.h"

namespace Toolkit::Win32Platform {

namespace {
Gdiplus::GpGraphics* graphicsFor(HWND window) {
    Gdiplus::GpGraphics* graphics = nullptr;
    if (!window || Gdip::GdipCreateFromHWND(window, &graphics) != Gdiplus::Ok) {
        return nullptr;
    }
    return graphics;
}
} // namespace

GdiplusDrawContext::GdiplusDrawContext(HWND window, const CRect& surface)
    : GdiplusDrawContext(graphicsFor(window), surface) {}

GdiplusDrawContext::GdiplusDrawContext(Gdiplus::GpGraphics* graphics, const CRect& surface)
    : PainterContext(surface, graphics) {
    applyDefaults();
}

bool GdiplusDrawContext::isKindOf(const char* className) const {
    return nameIs(className, "GdiplusDrawContext") || CDrawContext::isKindOf(className);
}

} // namespace Toolkit::Win32Platform

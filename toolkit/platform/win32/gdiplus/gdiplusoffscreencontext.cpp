#include "gdiplusoffscreencontext.h"

#include "cbitmap.h"
#include "gdiplusbitmap.h"

namespace Toolkit::Win32Platform {

namespace {
Gdiplus::GpGraphics* graphicsFor(CBitmap* bitmap) {
    auto* platform =
        imageOfKind<GdiplusBitmap>(bitmap ? bitmap->platformBitmap() : nullptr, "GdiplusBitmap");
    Gdiplus::GpBitmap* image = platform ? platform->image() : nullptr;
    Gdiplus::GpGraphics* graphics = nullptr;
    if (!image || Gdip::GdipGetImageGraphicsContext(image, &graphics) != Gdiplus::Ok) {
        return nullptr;
    }
    return graphics;
}
} // namespace

GdiplusOffscreenContext::GdiplusOffscreenContext(CBitmap* bitmap)
    : PainterContext(bitmap, graphicsFor(bitmap), true) {
    applyDefaults();
}

bool GdiplusOffscreenContext::isKindOf(const char* className) const {
    return nameIs(className, "GdiplusOffscreenContext") || COffscreenContext::isKindOf(className);
}

} // namespace Toolkit::Win32Platform

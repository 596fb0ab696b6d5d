#include "win32graphics.h"

#include "cbitmap.h"
#include "d2d/d2dbitmap.h"
#include "d2d/d2ddrawcontext.h"
#include "d2d/d2dglobals.h"
#include "d2d/d2doffscreencontext.h"
#include "gdiplus/gdiplusbitmap.h"
#include "gdiplus/gdiplusdrawcontext.h"
#include "gdiplus/gdiplusglobals.h"
#include "gdiplus/gdiplusoffscreencontext.h"
#include "platform/offscreenbitmap.h"

#include <cstdlib>
#include <cstring>

namespace Toolkit::Win32Platform {

namespace {
bool gdiplusForced() {
    const char* value = std::getenv("GRAVELIX_GRAPHICS");
    return value && std::strcmp(value, "gdiplus") == 0;
}
} // namespace

GraphicsBackend graphicsBackend() {
    // Decided once: bitmaps and contexts of both back-ends never meet.
    static const GraphicsBackend chosen = !gdiplusForced() && D2DGlobals::start()
                                              ? GraphicsBackend::direct2d
                                              : GraphicsBackend::gdiplus;
    return chosen;
}

void acquireGraphicsGlobals() {
    GDIPlusGlobals::acquire();
}

void releaseGraphicsGlobals() {
    GDIPlusGlobals::release();
}

IPlatformBitmap* createBitmap(const CPoint& size) {
    if (graphicsBackend() == GraphicsBackend::direct2d) {
        return createSizedBitmap<D2DBitmap>(size);
    }
    return createSizedBitmap<GdiplusBitmap>(size);
}

CDrawContext* createWindowContext(HWND window, const CRect& surface) {
    if (!window) {
        return nullptr;
    }
    if (graphicsBackend() == GraphicsBackend::direct2d) {
        auto* context = new D2DDrawContext(window, surface);
        if (!context->renderTarget()) {
            context->releaseReference();
            return nullptr;
        }
        return context;
    }
    auto* context = new GdiplusDrawContext(window, surface);
    if (!context->graphics()) {
        context->releaseReference();
        return nullptr;
    }
    return context;
}

COffscreenContext* createOffscreenContext(double width, double height) {
    CBitmap* bitmap = createOffscreenBitmap(width, height, createBitmap);
    if (!bitmap) {
        return nullptr;
    }
    COffscreenContext* context = nullptr;
    if (graphicsBackend() == GraphicsBackend::direct2d) {
        context = new D2DOffscreenContext(bitmap);
    } else {
        context = new GdiplusOffscreenContext(bitmap);
    }
    bitmap->releaseReference(); // the context holds its own
    return context;
}

} // namespace Toolkit::Win32Platform

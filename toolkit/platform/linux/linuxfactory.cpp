#include "linuxfactory.h"

#include "cairobitmap.h"
#include "cairodrawcontext.h"
#include "cairooffscreencontext.h"
#include "cbitmap.h"
#include "linuxtimer.h"
#include "platform/offscreenbitmap.h"
#include "x11frame.h"

namespace Toolkit::LinuxPlatform {

namespace {
IPlatformBitmap* createCairoBitmap(const CPoint& size) {
    if (size.x == 0.0 && size.y == 0.0) {
        return new CairoBitmap();
    }
    const int width = imageDimension(size.x);
    const int height = imageDimension(size.y);
    if (width == 0 || height == 0) {
        return nullptr;
    }
    auto* bitmap = new CairoBitmap(width, height);
    if (!bitmap->surface()) {
        bitmap->releaseReference();
        return nullptr;
    }
    return bitmap;
}
} // namespace

IPlatformFrame* LinuxFactory::createFrame(IPlatformFrameCallback* callback, const CRect& size,
                                          void* parentWindow) {
    return new X11Frame(callback, size, parentWindow);
}

CDrawContext* LinuxFactory::createWindowContext(IPlatformFrame* frame, const CRect&) {
    if (!frame || !frame->isKindOf("X11Frame")) {
        return nullptr;
    }
    cairo_surface_t* target = static_cast<X11Frame*>(frame)->backBuffer();
    return target ? new CairoDrawContext(target) : nullptr;
}

COffscreenContext* LinuxFactory::createOffscreenContext(double width, double height) {
    CBitmap* bitmap = createOffscreenBitmap(width, height, createCairoBitmap);
    if (!bitmap) {
        return nullptr;
    }
    auto* context = new CairoOffscreenContext(bitmap);
    bitmap->releaseReference(); // the context holds its own
    return context;
}

IPlatformBitmap* LinuxFactory::createBitmap(const CPoint& size) {
    return createCairoBitmap(size);
}

IPlatformTimer* LinuxFactory::createTimer(IPlatformTimerCallback* callback) {
    return new LinuxTimer(callback);
}

std::uint32_t LinuxFactory::ticks() const {
    return tickCount();
}

} // namespace Toolkit::LinuxPlatform

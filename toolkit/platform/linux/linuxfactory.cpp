#include "linuxfactory.h"

#include "cairobitmap.h"
#include "cairodrawcontext.h"
#include "cairooffscreencontext.h"
#include "cbitmap.h"
#include "linuxtimer.h"
#include "platform/offscreenbitmap.h"
#include "x11frame.h"

namespace Toolkit::LinuxPlatform {

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
    CBitmap* bitmap = createOffscreenBitmap(width, height, createSizedBitmap<CairoBitmap>);
    if (!bitmap) {
        return nullptr;
    }
    auto* context = new CairoOffscreenContext(bitmap);
    bitmap->releaseReference(); // the context holds its own
    return context;
}

IPlatformBitmap* LinuxFactory::createBitmap(const CPoint& size) {
    return createSizedBitmap<CairoBitmap>(size);
}

IPlatformTimer* LinuxFactory::createTimer(IPlatformTimerCallback* callback) {
    return new LinuxTimer(callback);
}

std::uint32_t LinuxFactory::ticks() const {
    return tickCount();
}

} // namespace Toolkit::LinuxPlatform

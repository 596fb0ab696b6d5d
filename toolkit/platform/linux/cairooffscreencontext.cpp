#include "cairooffscreencontext.h"

#include "cairobitmap.h"
#include "cbitmap.h"

namespace Toolkit::LinuxPlatform {

namespace {
cairo_surface_t* surfaceOf(CBitmap* bitmap) {
    if (!bitmap || !bitmap->platformBitmap() ||
        !bitmap->platformBitmap()->isKindOf("CairoBitmap")) {
        return nullptr;
    }
    return static_cast<CairoBitmap*>(bitmap->platformBitmap())->writableSurface();
}
} // namespace

CairoOffscreenContext::CairoOffscreenContext(CBitmap* bitmap)
    : PainterContext(bitmap, surfaceOf(bitmap)) {
    applyDefaults();
}

bool CairoOffscreenContext::isKindOf(const char* className) const {
    return nameIs(className, "CairoOffscreenContext") || COffscreenContext::isKindOf(className);
}

} // namespace Toolkit::LinuxPlatform

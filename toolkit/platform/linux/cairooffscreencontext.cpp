#include "cairooffscreencontext.h"

#include "cairobitmap.h"
#include "cbitmap.h"

namespace Toolkit::LinuxPlatform {

namespace {
cairo_surface_t* surfaceOf(CBitmap* bitmap) {
    auto* image =
        imageOfKind<CairoBitmap>(bitmap ? bitmap->platformBitmap() : nullptr, "CairoBitmap");
    return image ? image->writableSurface() : nullptr;
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

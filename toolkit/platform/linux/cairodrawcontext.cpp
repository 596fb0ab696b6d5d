#include "cairodrawcontext.h"

namespace Toolkit::LinuxPlatform {

namespace {
CRect surfaceOf(cairo_surface_t* target) {
    if (!target || cairo_surface_get_type(target) != CAIRO_SURFACE_TYPE_IMAGE) {
        return {};
    }
    return {0, 0, static_cast<double>(cairo_image_surface_get_width(target)),
            static_cast<double>(cairo_image_surface_get_height(target))};
}
} // namespace

CairoDrawContext::CairoDrawContext(cairo_surface_t* target)
    : PainterContext(surfaceOf(target), target) {
    applyDefaults();
}

bool CairoDrawContext::isKindOf(const char* className) const {
    return nameIs(className, "CairoDrawContext") || CDrawContext::isKindOf(className);
}

} // namespace Toolkit::LinuxPlatform

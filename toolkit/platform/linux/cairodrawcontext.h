// The cairo context that a platform window paints through (it draws into the window's back
// buffer, which the window then copies to the screen).
#pragma once

#include "cairopainter.h"
#include "platform/paintercontext.h"

namespace Toolkit::LinuxPlatform {

class CairoDrawContext : public PainterContext<CairoPainter, CDrawContext> {
public:
    // Draws into `target` (own reference taken); the surface rectangle is (0, 0, its size).
    explicit CairoDrawContext(cairo_surface_t* target);

    bool isKindOf(const char* className) const override;
    cairo_surface_t* target() const { return painter.target(); }
};

} // namespace Toolkit::LinuxPlatform

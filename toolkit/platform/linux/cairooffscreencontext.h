// A cairo context drawing into a CBitmap made by this back-end.
#pragma once

#include "cairopainter.h"
#include "coffscreencontext.h"
#include "platform/paintercontext.h"

namespace Toolkit::LinuxPlatform {

class CairoOffscreenContext : public PainterContext<CairoPainter, COffscreenContext> {
public:
    // Keeps a reference to `bitmap`; a bitmap of another back-end or without an image gives a
    // context that draws nothing.
    explicit CairoOffscreenContext(CBitmap* bitmap);

    bool isKindOf(const char* className) const override;
};

} // namespace Toolkit::LinuxPlatform

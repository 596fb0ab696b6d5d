// A cairo image surface copied into the one pixel format every bitmap here uses.
#pragma once

#include <cairo.h>

namespace Toolkit::LinuxPlatform {

// A new ARGB32 (premultiplied) image surface holding the pixels of the image surface `source`,
// whatever its format; null when it cannot be made. The caller owns it; `source` is untouched.
cairo_surface_t* copyToArgb32(cairo_surface_t* source);

} // namespace Toolkit::LinuxPlatform

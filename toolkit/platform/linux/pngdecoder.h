// PNG bytes to a cairo image surface.
#pragma once

#include <cairo.h>
#include <cstdint>

namespace Toolkit::LinuxPlatform {

// Decodes a PNG held in memory into a new ARGB32 (premultiplied) image surface, converting
// images without alpha so that every bitmap has the same format. Null when the bytes are not a
// complete PNG; the caller owns the surface otherwise.
cairo_surface_t* decodePng(const unsigned char* data, std::uint32_t size);

} // namespace Toolkit::LinuxPlatform

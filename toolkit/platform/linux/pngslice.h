// Rows of a decoded image written as a PNG of their own: the slices an image is embedded in.
// Build-time and benchmark code; the plug-in only decodes them.
#pragma once

#include <cairo.h>
#include <vector>

namespace Toolkit::LinuxPlatform {

// `rows` rows of `image` from `top`, as PNG bytes from cairo's writer (the one the artwork tool
// uses); empty when writing fails.
std::vector<unsigned char> sliceAsPng(cairo_surface_t* image, int top, int rows);

} // namespace Toolkit::LinuxPlatform

// The editor's sizes above 1x: which scale factors exist and how rectangles move between a
// frame's own units and the device pixels of its window.
#pragma once

#include "cpoint.h"
#include "crect.h"

#include <array>

namespace Toolkit {

// Device pixels per frame unit that a frame can have. Each is a multiple of 1/4, so a
// coordinate multiplied and then divided by one of them comes back exactly.
inline constexpr std::array<double, 7> kSupportedScaleFactors{1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0};

// The supported factor nearest to `scale` (the larger on a tie); 1 for anything that is not a
// positive finite number.
double nearestSupportedScale(double scale);

// `rect` in units multiplied out to device pixels, widened to whole pixels (left and top
// down, right and bottom up), so that it covers every pixel the units touch.
CRect scaledOutward(const CRect& rect, double scale);
// Device pixels divided back to units, widened to whole units.
CRect unscaledOutward(const CRect& rect, double scale);
// A device position in units; not rounded, so N x scale pixels are exactly N units.
CPoint unscaled(const CPoint& point, double scale);

} // namespace Toolkit

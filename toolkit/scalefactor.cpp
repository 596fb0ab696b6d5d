#include "scalefactor.h"

#include <algorithm>
#include <cmath>

namespace Toolkit {

double nearestSupportedScale(double scale) {
    if (!std::isfinite(scale) || !(scale > 0.0)) {
        return 1.0;
    }
    double best = kSupportedScaleFactors.front();
    for (const double candidate : kSupportedScaleFactors) {
        if (std::abs(candidate - scale) <= std::abs(best - scale)) {
            best = candidate;
        }
    }
    return best;
}

namespace {
// A frame's coordinates are far below this; anything beyond is garbage that must not reach
// integer conversions in the platform layers.
constexpr double kLimit = 1.0e7;

double clampCoordinate(double value) {
    if (std::isnan(value)) {
        return 0.0;
    }
    return std::clamp(value, -kLimit, kLimit);
}

CRect outward(double left, double top, double right, double bottom) {
    return {std::floor(clampCoordinate(left)), std::floor(clampCoordinate(top)),
            std::ceil(clampCoordinate(right)), std::ceil(clampCoordinate(bottom))};
}
} // namespace

CRect scaledOutward(const CRect& rect, double scale) {
    return outward(rect.left * scale, rect.top * scale, rect.right * scale, rect.bottom * scale);
}

CRect unscaledOutward(const CRect& rect, double scale) {
    return outward(rect.left / scale, rect.top / scale, rect.right / scale, rect.bottom / scale);
}

CPoint unscaled(const CPoint& point, double scale) {
    return {point.x / scale, point.y / scale};
}

} // namespace Toolkit

// Guards the HQ section's own logarithm and arctangent ratio against losing accuracy anywhere in
// the ranges the diode's antiderivatives use them: their differences are divided by spans as
// short as 1e-5, so an error of a few units in the last place there is already audible.

#include <gtest/gtest.h>

#include <cmath>

#include "hqmath.h"

namespace {

// Within ulps units in the last place of the larger of the result and 1 (the callers add the
// result to terms of order one), and to relative accuracy for small arguments.
void expectClose(double got, double want, double ulps, double arg) {
    const double scale = std::fmax(std::fabs(want), 1.0) * 0x1p-52;
    EXPECT_NEAR(got, want, ulps * scale) << "at " << arg;
}

TEST(HqMath, LogarithmMatchesTheLibraryFromTinyToHugeArguments) {
    // Across binades, near the mantissa's fold at sqrt(2), and for y so small that 1 + y rounds.
    for (double y = 1e-300; y < 1e300; y *= 1.37) {
        expectClose(hqmath::logOnePlus(y), std::log1p(y), 2.0, y);
    }
    for (double y = 0.40; y < 0.43; y += 1e-4) {
        expectClose(hqmath::logOnePlus(y), std::log1p(y), 2.0, y);
    }
    for (double y = 1e-12; y < 1e-3; y *= 3.1) {
        EXPECT_NEAR(hqmath::logOnePlus(y) / std::log1p(y), 1.0, 4e-16) << "at " << y;
    }
    for (double x = 1.0; x < 1e6; x *= 1.01) {
        expectClose(hqmath::logAtLeastOne(x), std::log(x), 2.0, x);
    }
}

TEST(HqMath, ArctangentRatioMatchesTheLibraryForBothSigns) {
    // z = t^2 gives atan(t)/t; z = -t^2 gives atanh(t)/t, up to |t| near 1.
    for (double t = 1e-6; t < 1.1; t *= 1.05) {
        const double z = t * t;
        expectClose(hqmath::atanRatio(z, 1.0 + z), std::atan(t) / t, 3.0, t);
        if (t < 0.999) {
            expectClose(hqmath::atanRatio(-z, 1.0 - z), std::atanh(t) / t, 3.0, -t);
        }
    }
}

#if GRAVELIX_STEREO_LANES
TEST(HqMath, LanesRoundAsTheOneChannelForm) {
    for (double y = 1e-9; y < 1e9; y *= 1.9) {
        const hqmath::Pair both = hqmath::logOnePlus(hqmath::Pair{y, 2.0 * y});
        EXPECT_EQ(both[0], hqmath::logOnePlus(y));
        EXPECT_EQ(both[1], hqmath::logOnePlus(2.0 * y));
    }
}
#endif

} // namespace

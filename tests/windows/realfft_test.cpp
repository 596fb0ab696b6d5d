// Guards against a wrong transform under the analyser: FFTW on Linux and the hand-written
// radix-2/Bluestein transform of the Windows build must both match a plain DFT.
#include "tools/analysis/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

using gravelix::analysis::RealFft;

namespace {

std::vector<double> signal(std::size_t n) {
    std::vector<double> x(n);
    unsigned state = 7;
    for (auto& v : x) {
        state = state * 1103515245u + 12345u;
        v = static_cast<double>((state >> 8) & 0xFFFF) / 32768.0 - 1.0;
    }
    return x;
}

std::complex<double> dft(const std::vector<double>& x, std::size_t k) {
    std::complex<double> sum = 0.0;
    const auto n = static_cast<double>(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double turns = std::fmod(static_cast<double>(i) * static_cast<double>(k), n) / n;
        sum += x[i] * std::polar(1.0, -2.0 * std::numbers::pi * turns);
    }
    return sum;
}

TEST(RealFft, MatchesAPlainDftAndInvertsForAnyLength) {
    for (std::size_t n : {2u, 3u, 12u, 1000u, 1024u, 44100u, 48000u}) {
        const std::vector<double> x = signal(n);
        RealFft fft(n);
        const auto bins = fft.forward(x);
        ASSERT_EQ(bins.size(), n / 2 + 1) << n;
        const double tolerance = 1e-9 * static_cast<double>(n);
        for (std::size_t k : {std::size_t{0}, std::size_t{1}, n / 7, n / 3, n / 2}) {
            EXPECT_NEAR(std::abs(bins[k] - dft(x, k)), 0.0, tolerance) << n << " bin " << k;
        }
        const auto back = fft.inverse(bins);
        ASSERT_EQ(back.size(), n);
        for (std::size_t i = 0; i < n; ++i) {
            ASSERT_NEAR(back[i], x[i], 1e-12) << n << " sample " << i;
        }
    }
}

TEST(RealFft, RefusesLengthsTooShortToTransform) {
    EXPECT_THROW(RealFft(0), std::invalid_argument);
    EXPECT_THROW(RealFft(1), std::invalid_argument);
}

} // namespace

#include "hqclippers.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <numbers>

namespace {

using Complex = std::complex<double>;

// A polyphase half-band's response at w radians per sample of its high rate:
// A0(z^2) + z^-1 A1(z^2), the all-pass branches taking the coefficients in turn.
template <std::size_t N> Complex halfBand(const std::array<double, N>& a, double w) {
    const Complex z2 = std::polar(1.0, -2.0 * w);
    Complex branch[2] = {1.0, 1.0};
    for (std::size_t i = 0; i < N; ++i) {
        branch[i % 2] *= (a[i] + z2) / (1.0 + a[i] * z2);
    }
    return branch[0] + std::polar(1.0, -w) * branch[1];
}

Complex lastDown(double w) {
    const Complex z1 = std::polar(1.0, -w);
    Complex h = 1.0;
    for (const auto& c : hqresampler::kLastDown) {
        h *= (c[0] + c[1] * z1 + c[2] * z1 * z1) / (1.0 + c[3] * z1 + c[4] * z1 * z1);
    }
    return h;
}

} // namespace

double HqClippers::groupDelay(double hz, double processRate) const {
    const double base = static_cast<double>(processRate);
    const int factor = 1 << stages;
    auto response = [&](double f) {
        auto w = [&](int multiple) { return 2.0 * std::numbers::pi * f / (base * multiple); };
        Complex h = halfBand(hqresampler::kStage1, w(2)) * lastDown(w(2));
        h *= halfBand(hqresampler::kStage2, w(4)) * halfBand(hqresampler::kStage2, w(4));
        if (stages >= 3) {
            h *= halfBand(hqresampler::kStage3, w(8)) * halfBand(hqresampler::kStage3, w(8));
        }
        for (int extra = 5; extra <= stages; ++extra) {
            const double wx = w(1 << extra);
            h *= halfBand(hqresampler::kStage4, wx) * halfBand(hqresampler::kStage4, wx);
        }
        if (stages >= 4) {
            h *= halfBand(hqresampler::kStage4, w(16)) * halfBand(hqresampler::kStage4, w(16));
        }
        // The anti-aliasing's own delay: one internal sample for each nonlinearity.
        return h * std::polar(1.0, -2.0 * w(factor));
    };
    const double step = hz * 1e-3;
    const double turn = std::arg(response(hz + step) / response(hz - step));
    return -turn / (2.0 * std::numbers::pi * 2.0 * step) * base;
}

#if GRAVELIX_STEREO_LANES
namespace {

// Both forms of the section are their T values in one run, then the knee.
constexpr std::size_t kValues = offsetof(HqClippers::State, diodeKnee) / sizeof(double);
static_assert(offsetof(HqClippers::Lanes, diodeKnee) == kValues * sizeof(hqmath::Pair));

} // namespace

HqClippers::Lanes HqClippers::toLanes(const State& l, const State& r) {
    double left[kValues];
    double right[kValues];
    std::memcpy(left, &l, sizeof left);
    std::memcpy(right, &r, sizeof right);
    lanes::Doubles both[kValues];
    for (std::size_t i = 0; i < kValues; ++i) {
        both[i] = lanes::pair(left[i], right[i]);
    }
    Lanes s;
    std::memcpy(static_cast<void*>(&s), both, sizeof both);
    // Both channels always see the same knee; the left one's stands for both.
    s.diodeKnee = l.diodeKnee == r.diodeKnee ? l.diodeKnee : -1.0;
    return s;
}

void HqClippers::fromLanes(const Lanes& s, State& l, State& r) {
    lanes::Doubles both[kValues];
    std::memcpy(both, &s, sizeof both);
    double left[kValues];
    double right[kValues];
    for (std::size_t i = 0; i < kValues; ++i) {
        lanes::split(both[i], left[i], right[i]);
    }
    std::memcpy(static_cast<void*>(&l), left, sizeof left);
    std::memcpy(static_cast<void*>(&r), right, sizeof right);
    l.diodeKnee = s.diodeKnee;
    r.diodeKnee = s.diodeKnee;
}
#endif

#pragma once

// The resampling around the oversampled clipping section: cascaded 2x stages of polyphase
// all-pass half-bands (two branches of first-order all-passes in z^2), and for the last step
// down an elliptic low-pass instead, because a half-band is -3 dB at a quarter of its rate and
// would fold its transition band straight into the top of the audio band. Designs (made with
// the elliptic-function method for half-bands and a 12th-order elliptic for the last stage):
//   stage up 1 / down: transition 0.0465 of the output rate, stop band below -130 dB;
//   stages 2..4: the band a quarter of the base rate wide kept, every image below -124 dB;
//   last stage down: pass band to 0.41 of the base rate within 0.005 dB, -110 dB from half of it.
// Written for double (one channel) and hqmath::Pair (two lanes) alike; called on the audio thread.

#include <array>
#include <cstddef>

namespace hqresampler {

inline constexpr std::array<double, 10> kStage1{
    0.02468582905444757, 0.09424980259167914, 0.19694469585846783, 0.31791855629187515,
    0.44353126463368975, 0.5640976212486356,  0.6746785907232596,  0.7745526514138215,
    0.8662435415832669,  0.9547555391710365};
inline constexpr std::array<double, 5> kStage2{0.02841444527918829, 0.11393344727957981,
                                               0.25906131103886665, 0.47387225448577325,
                                               0.7870194011528344};
inline constexpr std::array<double, 3> kStage3{0.05590735369653117, 0.2435296328043717,
                                               0.6471531142902082};
inline constexpr std::array<double, 2> kStage4{0.10723890054318994, 0.531030595944681};

// b0, b1, b2, a1, a2 of each second-order section; unity gain at DC.
inline constexpr std::array<std::array<double, 5>, 6> kLastDown{{
    {0.0007714981433898917, 0.0014631406318727975, 0.0007714981433898916, -0.9938944961595898,
     0.27138003256868587},
    {1.0, 1.291600823450875, 1.0, -0.8874986123356877, 0.38880977078379186},
    {1.0, 0.6779463028948184, 0.9999999999999999, -0.7375948326434908, 0.5586417985739803},
    {1.0, 0.28140579416121914, 1.0, -0.6060518323281456, 0.7190823405033182},
    {1.0, 0.0665007690676515, 0.9999999999999999, -0.5210154021893509, 0.8475959574602996},
    {1.0, -0.025803746518226357, 0.9999999999999998, -0.4887526484830468, 0.9512321920513954},
}};

// One half-band's states: each section's last input and output, and (down) the odd branch's
// last output. Coefficients alternate between the branches, even ones first.
template <class T, std::size_t N> struct HalfBand {
    std::array<T, N> x1{};
    std::array<T, N> y1{};
    T odd{};

    template <std::size_t First>
    [[gnu::always_inline]] T branch(const std::array<double, N>& a, T v) {
        for (std::size_t i = First; i < N; i += 2) {
            const T y = a[i] * (v - y1[i]) + x1[i];
            x1[i] = v;
            y1[i] = y;
            v = y;
        }
        return v;
    }
    // One sample in, two out (the even one first).
    [[gnu::always_inline]] void up(const std::array<double, N>& a, T x, T& even, T& oddOut) {
        even = branch<0>(a, x);
        oddOut = branch<1>(a, x);
    }
    // Two samples in, one out.
    [[gnu::always_inline]] T down(const std::array<double, N>& a, T even, T oddIn) {
        const T y = 0.5 * (branch<0>(a, even) + odd);
        odd = branch<1>(a, oddIn);
        return y;
    }
};

// The last step down: the elliptic low-pass (transposed direct form II) on both samples,
// keeping the first.
template <class T> struct LastDown {
    std::array<T, 6> s1{};
    std::array<T, 6> s2{};

    [[gnu::always_inline]] T filter(T x) {
        for (std::size_t i = 0; i < kLastDown.size(); ++i) {
            const auto& c = kLastDown[i];
            const T y = c[0] * x + s1[i];
            s1[i] = c[1] * x - c[3] * y + s2[i];
            s2[i] = c[2] * x - c[4] * y;
            x = y;
        }
        return x;
    }
    [[gnu::always_inline]] T down(T even, T oddIn) {
        const T y = filter(even);
        filter(oddIn);
        return y;
    }
};

} // namespace hqresampler

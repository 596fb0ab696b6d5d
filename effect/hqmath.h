#pragma once

// The arithmetic of the oversampled clipping section, written once for one channel (double) and
// for both channels in the two lanes of one register (SSE2 or NEON, through the compiler's
// vector operators). Every function does the same IEEE operations in the same order on either
// type, so the two forms agree bit for bit, and the logarithm and arctangent are our own so
// every platform rounds alike. Called on the audio thread: no allocation, no C library.

#include <bit>
#include <cstdint>

#include "lanesteps.h"

namespace hqmath {

// Lane-wise selection and the helpers the vector type lacks as operators.
inline double select(bool m, double a, double b) {
    return m ? a : b;
}
inline double minOf(double a, double b) {
    return a < b ? a : b;
}
inline double maxOf(double a, double b) {
    return a > b ? a : b;
}
inline double absOf(double x) {
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(x) & 0x7FFFFFFFFFFFFFFFull);
}
inline double rootOf(double x) {
    return __builtin_sqrt(x);
}
inline bool anyOf(bool m) {
    return m;
}
inline double splat(double v, double) {
    return v;
}

#if GRAVELIX_STEREO_LANES
// lanes::Doubles without its aliasing attribute, which a template argument would drop.
using Pair = double __attribute__((vector_size(16)));
using Mask = decltype(Pair{} < Pair{});
using Bits = long long __attribute__((vector_size(16)));

inline Pair select(Mask m, Pair a, Pair b) {
    return m ? a : b;
}
#if defined(__SSE2__) || defined(_M_X64)
inline Pair minOf(Pair a, Pair b) {
    return _mm_min_pd(a, b);
}
inline Pair maxOf(Pair a, Pair b) {
    return _mm_max_pd(a, b);
}
inline Pair absOf(Pair x) {
    return _mm_andnot_pd(_mm_set1_pd(-0.0), x);
}
inline Pair rootOf(Pair x) {
    return _mm_sqrt_pd(x);
}
inline bool anyOf(Mask m) {
    return _mm_movemask_pd(reinterpret_cast<Pair>(m)) != 0;
}
#else
inline Pair minOf(Pair a, Pair b) {
    return lanes::flushed(vbslq_f64(vcltq_f64(a, b), a, b));
}
inline Pair maxOf(Pair a, Pair b) {
    return lanes::flushed(vbslq_f64(vcgtq_f64(a, b), a, b));
}
inline Pair absOf(Pair x) {
    return reinterpret_cast<Pair>(reinterpret_cast<Bits>(x) & 0x7FFFFFFFFFFFFFFFll);
}
inline Pair rootOf(Pair x) {
    return vsqrtq_f64(x);
}
inline bool anyOf(Mask m) {
    return (m[0] | m[1]) != 0;
}
#endif
inline Pair splat(double v, Pair) {
    return lanes::splat(v);
}
#endif

// Exponent and mantissa of a positive normal number: x = m * 2^e with m in [1, 2). The biased
// exponent becomes a double by planting it in the mantissa of 2^52 (SSE2 converts no 64-bit
// integers).
constexpr std::uint64_t kTwo52Bits = 0x4330000000000000ull;
constexpr double kTwo52PlusBias = 4503599627370496.0 + 1023.0;
inline double splitExponent(double x, double& e) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    e = std::bit_cast<double>((bits >> 52) | kTwo52Bits) - kTwo52PlusBias;
    return std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
}
#if GRAVELIX_STEREO_LANES
inline Pair splitExponent(Pair x, Pair& e) {
    const Bits bits = reinterpret_cast<Bits>(x);
    const Bits biased = ((bits >> 52) & 0x7FF) | static_cast<long long>(kTwo52Bits);
    e = reinterpret_cast<Pair>(biased) - kTwo52PlusBias;
    const Bits m = (bits & 0x000FFFFFFFFFFFFFll) | 0x3FF0000000000000ll;
    return reinterpret_cast<Pair>(m);
}
#endif

// Two terms of the sum below: z^2k / (4k + 1) + z^(2k+1) / (4k + 3), over z^2k.
template <int K, class T> [[gnu::always_inline]] inline T termPair(T z) {
    return (1.0 / (4 * K + 3)) * z + 1.0 / (4 * K + 1);
}

// Terms k = 0..7 of the sum below, given z^2 and z^4.
template <class T> [[gnu::always_inline]] inline T oddSeriesHead(T z, T z2, T z4) {
    return (termPair<3>(z) * z2 + termPair<2>(z)) * z4 + (termPair<1>(z) * z2 + termPair<0>(z));
}

// sum of z^k / (2k + 1), k = 0..16: atanh(s)/s for z = s^2 and atan(t)/t for z = -t^2. Good to
// a unit in the last place for |z| <= 0.1. Evaluated in pairs of terms (Estrin's scheme): a
// quarter of the dependent steps of Horner's, which is what the audio path waits on.
template <class T> [[gnu::always_inline]] inline T oddSeries(T z) {
    const T z2 = z * z;
    const T z4 = z2 * z2;
    const T z8 = z4 * z4;
    const T r1 =
        (termPair<7>(z) * z2 + termPair<6>(z)) * z4 + (termPair<5>(z) * z2 + termPair<4>(z));
    return ((1.0 / 33.0) * z8 + r1) * z8 + oddSeriesHead(z, z2, z4);
}

// The same sum for k = 0..11, for |z| <= 0.03 (the logarithm's range), where it is as good.
template <class T> [[gnu::always_inline]] inline T oddSeriesShort(T z) {
    const T z2 = z * z;
    const T z4 = z2 * z2;
    return ((termPair<5>(z) * z2 + termPair<4>(z)) * (z4 * z4)) + oddSeriesHead(z, z2, z4);
}

// ln(1 + y) for y >= 0 (finite): exponent times ln 2 plus 2 atanh((m-1)/(m+1)) with the
// mantissa brought into [sqrt(1/2), sqrt(2)]. Below sqrt(2) the quotient is taken from y itself,
// so a small y keeps its relative accuracy.
template <class T> [[gnu::always_inline]] inline T logOnePlus(T y) {
    constexpr double kLn2High = 0x1.62e42fefa3800p-1; // trailing zeros: e * kLn2High is exact
    constexpr double kLn2Low = 0x1.ef35793c76730p-45;
    const T x = 1.0 + y;
    T e;
    T m = splitExponent(x, e);
    const auto big = m > 1.4142135623730951;
    m = select(big, m * 0.5, m);
    e = select(big, e + 1.0, e);
    const auto near = x < 1.4142135623730951;
    const T s = select(near, y, m - 1.0) / select(near, y + 2.0, m + 1.0);
    return e * kLn2High + (2.0 * s * oddSeriesShort(s * s) + e * kLn2Low);
}

// Natural logarithm of x >= 1 (finite).
template <class T> [[gnu::always_inline]] inline T logAtLeastOne(T x) {
    return logOnePlus(x - 1.0);
}

// atan(t)/t for z = t^2 >= 0, atanh(t)/t for z = -t^2 in (-1, 0], given onePlusZ = 1 + z
// computed as exactly as the caller can. Halving the angle until the series converges fast.
template <class T> [[gnu::always_inline]] inline T atanRatio(T z, T onePlusZ) {
    T scale = splat(1.0, z);
    while (anyOf(absOf(z) > 0.1)) {
        const T inverse = 1.0 / (1.0 + rootOf(onePlusZ));
        scale = scale * (2.0 * inverse);
        z = z * (inverse * inverse);
        onePlusZ = 1.0 + z;
    }
    return scale * oddSeries(-z);
}

// e^-x for 0 <= x <= 1, by its Taylor series; for coefficients, not the audio thread.
inline double expMinus(double x) {
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n < 30; ++n) {
        term = -term * x / n;
        sum += term;
    }
    return sum;
}

} // namespace hqmath

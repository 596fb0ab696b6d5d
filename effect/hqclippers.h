#pragma once

// The clipping section of Gravelix HQ: the op-amp's supply limits, the coupling high-pass, the
// smoothing low-pass and the diode clipper, run at 4x, 8x or 16x the base rate (the internal
// rate stays near 700 kHz) in double, between the resampling stages of hqresampler.h. Both
// nonlinearities are anti-aliased through their antiderivatives:
// - the limits in second order, as the mean of the clamp under the triangular (linear B-spline)
//   density that the last three inputs span, which is what the second divided difference of
//   the second antiderivative is, but computed from tail areas with no ill-conditioned case;
// - the diode curve in second order too, as the same mean: twice the difference of the mean
//   first antiderivative over the upper and the lower span, over the whole span. A span too
//   short for the division takes the trapezoid with its end correction; three inputs that
//   nearly agree, the curve at their mean. (First order left aliases near -87 dB.)
// Nothing stored depends on the limits, and the diode's stored antiderivatives are recomputed
// from its stored inputs when the knee moves, so the controls never make the output jump.
// Called on the audio thread: no allocation, locks, host calls or C-library maths.

#include <array>
#include <complex>

#include "chaincoefficient.h"
#include "hqmath.h"
#include "hqresampler.h"

struct HqClippers {
    // Up to 16x as a host runs it; 32x and 64x (the last stages as relaxed as the fourth) only
    // for a reference rendering.
    static constexpr int kMaxStages = 6;

    // An input of the diode curve with its first and second antiderivatives.
    template <class T> struct Diode {
        T x{}, f1{}, f2{};
    };
    // A mean kept as numerator and denominator, so several share one division.
    template <class T> struct Fraction {
        T n{}, d{};
    };
    template <class T> struct Section {
        hqresampler::HalfBand<T, 10> up1;
        hqresampler::HalfBand<T, 5> up2;
        hqresampler::HalfBand<T, 3> up3;
        hqresampler::HalfBand<T, 2> up4;
        std::array<hqresampler::HalfBand<T, 2>, 2> upReference;
        std::array<hqresampler::HalfBand<T, 2>, 2> downReference;
        hqresampler::HalfBand<T, 2> down4;
        hqresampler::HalfBand<T, 3> down3;
        hqresampler::HalfBand<T, 5> down2;
        hqresampler::LastDown<T> down1;
        T clampIn1{}; // the clamp's last two inputs, newest first
        T clampIn2{};
        T coupling{};
        T smooth{};
        Diode<T> diode1; // the diode's last two inputs, newest first, for diodeKnee
        Diode<T> diode2;
        Fraction<T> diodePair;  // the mean first antiderivative between those two
        double diodeKnee = 0.0; // 0 (no knee is) after a reset, so the above get recomputed
    };
    using State = Section<double>;

    ChainCoefficient clipHigh;
    ChainCoefficient clipLow;
    ChainCoefficient diodeKnee;
    std::array<State, 2> states{};

    // Fixed by the rate: the number of 2x stages and the one-pole pairs at the internal rate.
    int stages = 4;
    double couplingA = 0.0, couplingB = 0.0, smoothA = 0.0, smoothB = 0.0;
    int latency = 0;

    void reset() { states = {}; }

    // Not on the audio thread. The plain pedal advances each one-pole twice per sample with the
    // pair for its rate, which puts the corners it sounds at twice the constants; HQ keeps
    // those corners (a 48 Hz coupling high-pass, a 16 kHz smoothing low-pass).
    // A number of stages given overrides the rate's (a reference rendering in the tests).
    void setCorners(float processRate, int forcedStages = 0) {
        stages = processRate <= 50000.0f ? 4 : (processRate <= 100000.0f ? 3 : 2);
        if (forcedStages >= 2 && forcedStages <= kMaxStages) {
            stages = forcedStages;
        }
        const double rate = static_cast<double>(processRate) * (1 << stages) / 2.0;
        const double pc = hqmath::expMinus(static_cast<double>(kCouplingCorner) / rate);
        const double ps = hqmath::expMinus(static_cast<double>(kSmoothCorner) / rate);
        couplingA = 1.0 - pc;
        couplingB = -pc;
        smoothA = 1.0 - ps;
        smoothB = -ps;
        // What the section adds to the pedal's: the plain decimator's one frame of delay goes
        // unreported, and HQ must line up with the pedal (and the dry signal) in a host.
        latency = static_cast<int>(groupDelay(1000.0, processRate) - 1.0 + 0.5);
    }
    int latencyFrames() const { return latency; }

    // The section's added delay at hz, in base samples: the resampling stages and the delays of
    // the anti-aliasing (one internal sample for each nonlinearity).
    double groupDelay(double hz, double processRate) const;

    [[gnu::always_inline]] float run(float x, State& s) const {
        return static_cast<float>(section(static_cast<double>(x), s));
    }
#if GRAVELIX_STEREO_LANES
    using Lanes = Section<hqmath::Pair>;
    static Lanes toLanes(const State& l, const State& r);
    static void fromLanes(const Lanes& s, State& l, State& r);
    [[gnu::always_inline]] lanes::Floats run(lanes::Floats x, Lanes& s) const {
        return lanes::narrow(section(hqmath::Pair(lanes::widen(x)), s));
    }
#endif

private:
    // Below this d the diode's q has two real roots, -h - g and -h + g, and the curve's
    // integrals become two logarithms (no series and no angle halving); above it the
    // arctangent's series, which needs at most one halving there.
    static constexpr double kTwoRootsBelow = -0.1;
    struct Curve {
        double hi, lo, k, c, h, d;
        bool twoRoots;
        double hPlusG, hMinusG, halfInverseG;
    };
    Curve curve() const {
        const double k = static_cast<double>(diodeKnee.value());
        const double c = k + 1.4;
        const double h = 0.5 * c;
        const double d = 1.0 - h * h;
        Curve v{static_cast<double>(clipHigh.value()),
                static_cast<double>(clipLow.value()),
                k,
                c,
                h,
                d,
                d < kTwoRootsBelow,
                0.0,
                0.0,
                0.0};
        if (v.twoRoots) {
            const double g = hqmath::rootOf(-d);
            v.hPlusG = h + g;
            v.hMinusG = 1.0 / v.hPlusG; // (h - g)(h + g) = 1, without h - g's cancellation
            v.halfInverseG = 0.5 / g;
        }
        return v;
    }

    // t^3 / (3 p q) for 0 < t <= p, q: no larger than t / 3.
    template <class T> [[gnu::always_inline]] static T cubeTerm(T t, T p, T q) {
        return (t * t) * t / (3.0 * (p * q));
    }

    // The clamp's mean under the triangular density over the three inputs.
    template <class T>
    [[gnu::always_inline]] static T clampMean(T x0, T x1, T x2, double hi, double lo) {
        using namespace hqmath;
        const T a = minOf(minOf(x0, x1), x2);
        const T c = maxOf(maxOf(x0, x1), x2);
        const T b = maxOf(minOf(x0, x1), minOf(maxOf(x0, x1), x2));
        const T mean = (a + b + c) / 3.0;
        const T zero = hqmath::splat(0.0, a);
        // Mostly all three lie between the limits, or beyond one of them: the general case's
        // arithmetic for those, to the last bit (and the sign of zero), whatever other lanes do.
        if (!hqmath::anyOf(c > hi || a < lo)) {
            return (mean - zero) + zero;
        }
        if (!hqmath::anyOf(a <= hi)) {
            return (mean - (mean - hi)) + zero;
        }
        if (!hqmath::anyOf(c >= lo)) {
            return (mean - zero) + (lo - mean);
        }
        const T ca = c - a;
        // E[(X - hi)+] and E[(lo - X)+]
        const T above =
            select(c <= hi, splat(0.0, a),
                   select(b <= hi, cubeTerm(c - hi, ca, c - b),
                          select(a <= hi, mean - hi + cubeTerm(hi - a, ca, b - a), mean - hi)));
        const T below =
            select(a >= lo, splat(0.0, a),
                   select(b >= lo, cubeTerm(lo - a, ca, b - a),
                          select(c >= lo, lo - mean + cubeTerm(c - lo, ca, c - b), lo - mean)));
        return mean - above + below;
    }

    template <class T> [[gnu::always_inline]] static T diodeCurve(T x, const Curve& v) {
        const T ax = hqmath::absOf(x);
        return 0.3 * ((v.k + ax) * x) / ((v.c * ax + 1.0) + x * x);
    }

    // The diode curve at x with its antiderivatives: the first is even, the second odd. For
    // u = |x|: with q = u^2 + c u + 1, L = ln q, and J = v atan(w v)/(w v) the integral of 1/q
    // from 0 (v = u / (1 + u c/2), w^2 = d; atanh where d < 0):
    //   F1 = 0.3 (u - 0.7 L + (0.7 c - 1) J)
    //   F2 = 0.3 (u^2/2 - 0.7 ((u + c/2) L - 2 u + 2 d J) + (0.7 c - 1) ((u + c/2) J - L/2)).
    // With two real roots (d = -g^2), q = (1 + u (h - g)) (1 + u (h + g)), so L is the sum of
    // the two factors' logarithms and J their difference over 2 g.
    template <class T> [[gnu::always_inline]] static Diode<T> diodeAt(T x, const Curve& v) {
        const T u = hqmath::absOf(x);
        T j, l;
        if (v.twoRoots) {
            const T near = hqmath::logOnePlus(u * v.hMinusG);
            const T far = hqmath::logOnePlus(u * v.hPlusG);
            l = near + far;
            j = (far - near) * v.halfInverseG;
        } else {
            const T q = (v.c * u + 1.0) + u * u;
            const T inverseP = 1.0 / (1.0 + u * v.h);
            const T r = u * inverseP;
            const T z = v.d * (r * r);
            j = r * hqmath::atanRatio(z, q * (inverseP * inverseP));
            l = hqmath::logAtLeastOne(q);
        }
        const double slope = 0.7 * v.c - 1.0;
        const T f1 = 0.3 * ((u - 0.7 * l) + slope * j);
        const T uh = u + v.h;
        const T f2u = 0.3 * ((0.5 * (u * u) - 0.7 * ((uh * l - 2.0 * u) + 2.0 * v.d * j)) +
                             slope * (uh * j - 0.5 * l));
        return {x, f1, hqmath::select(x < 0.0, -f2u, f2u)};
    }

    // The shortest span the antiderivatives' differences are divided by, relative to the
    // inputs' size.
    template <class T> [[gnu::always_inline]] static T tolerance(T x0, T x1) {
        return 1e-5 * (1.0 + hqmath::maxOf(hqmath::absOf(x0), hqmath::absOf(x1)));
    }

    // The mean of the first antiderivative between two inputs in either order. A span too
    // short for the division takes the trapezoid with its end correction (the curve's values
    // only then).
    template <class T>
    [[gnu::always_inline]] static Fraction<T> diodeMean(const Diode<T>& a, const Diode<T>& b,
                                                        const Curve& v) {
        const T span = a.x - b.x;
        const auto shortSpan = hqmath::absOf(span) < tolerance(a.x, b.x);
        if (!hqmath::anyOf(shortSpan)) {
            return {a.f2 - b.f2, span};
        }
        const T ends = diodeCurve(a.x, v) - diodeCurve(b.x, v);
        const T trapezoid = 0.5 * (a.f1 + b.f1) - ends * span / 12.0;
        return {hqmath::select(shortSpan, trapezoid, a.f2 - b.f2),
                hqmath::select(shortSpan, hqmath::splat(1.0, span), span)};
    }

    // The diode curve's mean under the triangular density over three inputs, the newest first,
    // given the mean between the older two: twice the second divided difference of the second
    // antiderivative, taken across the widest span (around the middle value) for accuracy. Three
    // inputs that nearly agree take the curve at their mean. Returns the newest pair's mean.
    template <class T>
    [[gnu::always_inline]] static T diodeMean3(const Diode<T>& p0, const Diode<T>& p1,
                                               const Diode<T>& p2, Fraction<T> m12,
                                               Fraction<T>& m01, const Curve& v) {
        using hqmath::absOf, hqmath::select;
        m01 = diodeMean(p0, p1, v);
        const Fraction<T> m02 = diodeMean(p0, p2, v);
        const T s01 = p0.x - p1.x;
        const T s12 = p1.x - p2.x;
        const T s02 = p0.x - p2.x;
        // Which input lies in the middle: p1 (the widest span is p0-p2), p2 or p0.
        const auto middle1 = absOf(s02) >= absOf(s01) && absOf(s02) >= absOf(s12);
        const auto middle2 = absOf(s01) >= absOf(s12);
        const Fraction<T> upper{select(middle1, m01.n, select(middle2, m02.n, m01.n)),
                                select(middle1, m01.d, select(middle2, m02.d, m01.d))};
        const Fraction<T> lower{select(middle1, m12.n, select(middle2, m12.n, m02.n)),
                                select(middle1, m12.d, select(middle2, m12.d, m02.d))};
        const T span = select(middle1, s02, select(middle2, s01, s12));
        const auto flat = absOf(span) < tolerance(hqmath::maxOf(absOf(p0.x), absOf(p1.x)), p2.x);
        const T mean = 2.0 * (upper.n * lower.d - lower.n * upper.d) /
                       select(flat, hqmath::splat(1.0, span), (upper.d * lower.d) * span);
        if (!hqmath::anyOf(flat)) {
            return mean;
        }
        return select(flat, diodeCurve((p0.x + p1.x + p2.x) / 3.0, v), mean);
    }

    template <class T> T section(T x, Section<T>& s) const;
    template <class T, int Stages> T sectionAt(T x, Section<T>& s, const Curve& v) const;
};

template <class T> T HqClippers::section(T x, Section<T>& s) const {
    const Curve v = curve();
    if (v.k != s.diodeKnee) {
        s.diode1 = diodeAt(s.diode1.x, v);
        s.diode2 = diodeAt(s.diode2.x, v);
        s.diodePair = diodeMean(s.diode1, s.diode2, v);
        s.diodeKnee = v.k;
    }
    switch (stages) {
    case 6:
        return sectionAt<T, 6>(x, s, v);
    case 5:
        return sectionAt<T, 5>(x, s, v);
    case 4:
        return sectionAt<T, 4>(x, s, v);
    case 3:
        return sectionAt<T, 3>(x, s, v);
    default:
        return sectionAt<T, 2>(x, s, v);
    }
}

template <class T, int Stages> T HqClippers::sectionAt(T x, Section<T>& s, const Curve& v) const {
    using namespace hqresampler;
    constexpr int kFactor = 1 << Stages;
    T buf[kFactor];
    T tmp[kFactor];
    // Up: each stage doubles the points in place, the newest half first into tmp.
    buf[0] = x;
    int n = 1;
    for (int stage = 0; stage < Stages; ++stage) {
        for (int i = 0; i < n; ++i) {
            T e, o;
            const T in = buf[i];
            if (stage == 0) {
                s.up1.up(kStage1, in, e, o);
            } else if (stage == 1) {
                s.up2.up(kStage2, in, e, o);
            } else if (stage == 2) {
                s.up3.up(kStage3, in, e, o);
            } else if (stage == 3) {
                s.up4.up(kStage4, in, e, o);
            } else {
                s.upReference[static_cast<std::size_t>(stage - 4)].up(kStage4, in, e, o);
            }
            tmp[2 * i] = e;
            tmp[2 * i + 1] = o;
        }
        n *= 2;
        for (int i = 0; i < n; ++i) {
            buf[i] = tmp[i];
        }
    }
    // The limits and the two one-poles in time order; then every point's antiderivative, which
    // are independent of each other.
    for (int i = 0; i < kFactor; ++i) {
        const T in = buf[i];
        T y = clampMean(in, s.clampIn1, s.clampIn2, v.hi, v.lo);
        s.clampIn2 = s.clampIn1;
        s.clampIn1 = in;
        const T hp = couplingA * y - couplingB * s.coupling;
        s.coupling = hp;
        y = y - hp;
        const T lp = smoothA * y - smoothB * s.smooth;
        s.smooth = lp;
        buf[i] = lp;
    }
    Diode<T> points[kFactor];
    for (int i = 0; i < kFactor; ++i) {
        points[i] = diodeAt(buf[i], v);
    }
    for (int i = 0; i < kFactor; ++i) {
        buf[i] = diodeMean3(points[i], s.diode1, s.diode2, s.diodePair, s.diodePair, v);
        s.diode2 = s.diode1;
        s.diode1 = points[i];
    }
    // Down, stage by stage, the last one the elliptic.
    n = kFactor;
    for (int stage = Stages - 1; stage >= 0; --stage) {
        for (int i = 0; i < n / 2; ++i) {
            const T e = buf[2 * i];
            const T o = buf[2 * i + 1];
            T y;
            if (stage == 0) {
                y = s.down1.down(e, o);
            } else if (stage == 1) {
                y = s.down2.down(kStage2, e, o);
            } else if (stage == 2) {
                y = s.down3.down(kStage3, e, o);
            } else if (stage == 3) {
                y = s.down4.down(kStage4, e, o);
            } else {
                y = s.downReference[static_cast<std::size_t>(stage - 4)].down(kStage4, e, o);
            }
            buf[i] = y;
        }
        n /= 2;
    }
    return buf[0];
}

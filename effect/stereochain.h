#pragma once

// Stereo processing: both channels through the chain, each with its own states and the same
// coefficients. stereoFrame is the readable statement, two runs of channelChain. Where SSE2
// exists (x86-64 has it in its base instruction set, so no -march is needed)
// stereoFrameSse2 runs the same steps once, left in lane 0 and right in lane 1 of one register.
// Every float step there is the packed twin of the scalar instruction, and every double step
// widens and narrows exactly where the scalar code does, so each lane rounds, flushes to zero
// and treats NaN and -0 as the scalar chain does: the two agree bit for bit.

#include "signalchain.h"

#if defined(__SSE2__) || defined(_M_X64)
#define GRAVELIX_STEREO_SSE2 1
#include <emmintrin.h>
#else
#define GRAVELIX_STEREO_SSE2 0
#endif

// One channel's input scaling: (gain · in) in float, times 0.6 in double.
inline float stereoInput(float gain, float in) {
    return static_cast<float>(static_cast<double>(gain * boundedInput(in)) * 0.6);
}

// Real time: no allocation, locks, host calls or transcendental functions.
[[gnu::always_inline]] inline void stereoFrame(float inL, float inR, float gain,
                                               const ChainCoefficients& k, ChannelState& left,
                                               ChannelState& right, float& outL, float& outR) {
    const float xL = stereoInput(gain, inL);
    const float xR = stereoInput(gain, inR);
    outL = channelChain(xL, k, left);
    outR = channelChain(xR, k, right);
}

#if GRAVELIX_STEREO_SSE2

// Both channels' states, left in lane 0 and right in lane 1; lanes 2 and 3 carry nothing.
// The mid-point and the decimator keep their float states scaled and widened, as 0.5·prev and
// 0.25·decimMid in double: that is all they ever read of them, it is exact, and the value
// is computed once per frame instead of twice.
struct StereoLanes {
    __m128 lowCut, pickupLow, pickupBand, gainHp, bandLp, coupling, smooth, decimPrev, highCut,
        work, mid, out;
    __m128d halfPrev, quarterDecimMid;
};

namespace lanes {

inline __m128 pair(float left, float right) {
    return _mm_unpacklo_ps(_mm_set_ss(left), _mm_set_ss(right));
}

inline float left(__m128 v) {
    return _mm_cvtss_f32(v);
}

inline float right(__m128 v) {
    return _mm_cvtss_f32(_mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)));
}

inline __m128d widen(__m128 v) {
    return _mm_cvtps_pd(v);
}

inline __m128 narrow(__m128d v) {
    return _mm_cvtpd_ps(v);
}

inline void lowPassStep(__m128& x, __m128 a, __m128 b, __m128& s) {
    const __m128 y = _mm_sub_ps(_mm_mul_ps(a, x), _mm_mul_ps(b, s));
    s = y;
    x = y;
}

inline void highPassStep(__m128& x, __m128 a, __m128 b, __m128& s) {
    const __m128 y = _mm_sub_ps(_mm_mul_ps(a, x), _mm_mul_ps(b, s));
    s = y;
    x = _mm_sub_ps(x, y);
}

inline void svfLowPassStep(__m128& x, __m128 g, __m128 d, __m128& low, __m128& band) {
    low = _mm_add_ps(_mm_mul_ps(g, band), low);
    band = _mm_add_ps(_mm_mul_ps(_mm_sub_ps(_mm_sub_ps(x, low), _mm_mul_ps(d, band)), g), band);
    x = low;
}

// halfPrev is 0.5·double(prev).
inline void midpointStep(__m128& mid, __m128 x, __m128d& halfPrev) {
    const __m128d halfX = _mm_mul_pd(_mm_set1_pd(0.5), widen(x));
    mid = narrow(_mm_add_pd(halfPrev, halfX));
    halfPrev = halfX;
}

// maxps answers its second operand unless the first is greater, minps unless the first is
// less; with lo below hi, min(hi, max(lo, x)) is then the scalar select for every x, NaN and
// either zero included.
inline void clampStep(__m128& x, __m128 hi, __m128 lo) {
    x = _mm_min_ps(hi, _mm_max_ps(lo, x));
}

// kPlus14 is (double(k) + 1.4), the same for both lanes.
inline void diodeCurve(__m128& x, __m128 k, __m128d kPlus14) {
    const __m128 ax = _mm_andnot_ps(_mm_set1_ps(-0.0f), x);
    const __m128 numerator = _mm_mul_ps(_mm_add_ps(k, ax), x);
    const __m128d denominator = _mm_add_pd(
        _mm_add_pd(_mm_mul_pd(kPlus14, widen(ax)), _mm_set1_pd(1.0)), widen(_mm_mul_ps(x, x)));
    x = narrow(_mm_div_pd(_mm_mul_pd(_mm_set1_pd(0.3), widen(numerator)), denominator));
}

// quarterSMid is 0.25·double(sMid).
inline void decimateStep(__m128 mid, __m128 x, __m128& out, __m128d& quarterSMid, __m128& sPrev) {
    const __m128d quarterMid = _mm_mul_pd(_mm_set1_pd(0.25), widen(mid));
    out = narrow(_mm_add_pd(_mm_add_pd(quarterMid, _mm_mul_pd(_mm_set1_pd(0.5), widen(sPrev))),
                            quarterSMid));
    quarterSMid = quarterMid;
    sPrev = x;
}

// boundedInput for both lanes: within +-1e6 unchanged, NaN and infinities 0, other values
// the limit with their sign.
inline __m128 boundedInput(__m128 x) {
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 limit = _mm_set1_ps(1.0e6f);
    const __m128 ax = _mm_andnot_ps(sign, x);
    const __m128 within = _mm_cmple_ps(ax, limit);
    const __m128 finite = _mm_cmplt_ps(ax, _mm_set1_ps(HUGE_VALF));
    const __m128 limited = _mm_and_ps(finite, _mm_or_ps(_mm_and_ps(sign, x), limit));
    return _mm_or_ps(_mm_and_ps(within, x), _mm_andnot_ps(within, limited));
}

} // namespace lanes

inline StereoLanes loadLanes(const ChannelState& l, const ChannelState& r) {
    using lanes::pair, lanes::widen;
    return {pair(l.lowCut, r.lowCut),
            pair(l.pickupLow, r.pickupLow),
            pair(l.pickupBand, r.pickupBand),
            pair(l.gainHp, r.gainHp),
            pair(l.bandLp, r.bandLp),
            pair(l.coupling, r.coupling),
            pair(l.smooth, r.smooth),
            pair(l.decimPrev, r.decimPrev),
            pair(l.highCut, r.highCut),
            pair(l.work, r.work),
            pair(l.mid, r.mid),
            pair(l.out, r.out),
            _mm_mul_pd(_mm_set1_pd(0.5), widen(pair(l.prev, r.prev))),
            _mm_mul_pd(_mm_set1_pd(0.25), widen(pair(l.decimMid, r.decimMid)))};
}

inline void storeLanes(const StereoLanes& s, ChannelState& l, ChannelState& r) {
    const auto split = [](__m128 v, float& left, float& right) {
        left = lanes::left(v);
        right = lanes::right(v);
    };
    split(s.lowCut, l.lowCut, r.lowCut);
    split(s.pickupLow, l.pickupLow, r.pickupLow);
    split(s.pickupBand, l.pickupBand, r.pickupBand);
    split(s.gainHp, l.gainHp, r.gainHp);
    split(s.bandLp, l.bandLp, r.bandLp);
    split(s.coupling, l.coupling, r.coupling);
    split(s.smooth, l.smooth, r.smooth);
    split(s.decimPrev, l.decimPrev, r.decimPrev);
    split(s.highCut, l.highCut, r.highCut);
    split(s.work, l.work, r.work);
    split(s.mid, l.mid, r.mid);
    split(s.out, l.out, r.out);
    // Scaling by a power of two and back is exact for every float.
    split(lanes::narrow(_mm_mul_pd(_mm_set1_pd(2.0), s.halfPrev)), l.prev, r.prev);
    split(lanes::narrow(_mm_mul_pd(_mm_set1_pd(4.0), s.quarterDecimMid)), l.decimMid, r.decimMid);
}

// The chain's coefficients, each in every lane, and the input gain; kept up to date whenever
// one of them changes, so the audio loop multiplies straight from memory instead of
// broadcasting each at every sample. The pickup switch stays with ChainCoefficients.
struct StereoCoefficients {
    __m128 lowCutA, lowCutB, pickupCoeff, opampGain, gainHpA, gainHpB, bandLpA, bandLpB, clipHigh,
        clipLow, couplingA, couplingB, smoothA, smoothB, diodeKnee, highCutA, highCutB, outputGain,
        inputGain;
};

inline StereoCoefficients broadcast(const ChainCoefficients& k, float inputGain) {
    const auto all = [](float v) { return _mm_set1_ps(v); };
    return {all(k.lowCutA),  all(k.lowCutB),    all(k.pickupCoeff), all(k.opampGain),
            all(k.gainHpA),  all(k.gainHpB),    all(k.bandLpA),     all(k.bandLpB),
            all(k.clipHigh), all(k.clipLow),    all(k.couplingA),   all(k.couplingB),
            all(k.smoothA),  all(k.smoothB),    all(k.diodeKnee),   all(k.highCutA),
            all(k.highCutB), all(k.outputGain), all(inputGain)};
}

// stereoFrame with both channels in one register; the steps follow channelChain one for one.
// Real time: no allocation, locks, host calls or transcendental functions.
[[gnu::always_inline]] inline void stereoFrameSse2(float inL, float inR, bool pickupOn,
                                                   const StereoCoefficients& k, StereoLanes& s,
                                                   float& outL, float& outR) {
    using namespace lanes;

    __m128 x = boundedInput(pair(inL, inR));
    x = narrow(_mm_mul_pd(widen(_mm_mul_ps(k.inputGain, x)), _mm_set1_pd(0.6)));

    highPassStep(x, k.lowCutA, k.lowCutB, s.lowCut);
    if (pickupOn) {
        svfLowPassStep(x, k.pickupCoeff, _mm_set1_ps(1.0f), s.pickupLow, s.pickupBand);
    }
    x = _mm_mul_ps(k.opampGain, x);
    highPassStep(x, k.gainHpA, k.gainHpB, s.gainHp);
    lowPassStep(x, k.bandLpA, k.bandLpB, s.bandLp);

    __m128 mid;
    midpointStep(mid, x, s.halfPrev);
    clampStep(mid, k.clipHigh, k.clipLow);
    clampStep(x, k.clipHigh, k.clipLow);
    highPassStep(mid, k.couplingA, k.couplingB, s.coupling);
    highPassStep(x, k.couplingA, k.couplingB, s.coupling);
    lowPassStep(mid, k.smoothA, k.smoothB, s.smooth);
    lowPassStep(x, k.smoothA, k.smoothB, s.smooth);
    const __m128d kneePlus14 = _mm_add_pd(widen(k.diodeKnee), _mm_set1_pd(1.4));
    diodeCurve(mid, k.diodeKnee, kneePlus14);
    diodeCurve(x, k.diodeKnee, kneePlus14);

    __m128 out;
    decimateStep(mid, x, out, s.quarterDecimMid, s.decimPrev);
    lowPassStep(out, k.highCutA, k.highCutB, s.highCut);

    s.work = x;
    s.mid = mid;
    s.out = out;
    const __m128 y = _mm_mul_ps(out, k.outputGain);
    outL = left(y);
    outR = right(y);
}

#endif

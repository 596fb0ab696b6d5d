#pragma once

// The per-sample steps of the chain for both channels at once, left in lane 0 and right in lane
// 1 of one register, where SSE2 exists (x86-64 has it in its base instruction set, so no -march
// is needed). Every float step is the packed twin of the scalar instruction in signalsteps.h,
// and every double step widens and narrows exactly where the scalar step does, so each lane
// rounds, flushes to zero and treats NaN and -0 as the scalar chain does: the two agree bit for
// bit. Lanes 2 and 3 carry nothing.

#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#define GRAVELIX_STEREO_SSE2 1
#include <emmintrin.h>
#else
#define GRAVELIX_STEREO_SSE2 0
#endif

#if GRAVELIX_STEREO_SSE2

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

inline void split(__m128 v, float& l, float& r) {
    l = left(v);
    r = right(v);
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

#endif

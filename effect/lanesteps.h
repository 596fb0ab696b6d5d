#pragma once

// The per-sample steps of the chain for both channels at once, left in lane 0 and right in lane
// 1 of one register: SSE2 on x86-64 (in its base instruction set, so no -march is needed), NEON
// on 64-bit ARM. Every float step is the packed twin of the scalar instruction in signalsteps.h,
// and every double step widens and narrows exactly where the scalar step does, so each lane
// rounds, flushes to zero and treats NaN and -0 as the scalar chain does: the two agree bit for
// bit. Lanes 2 and 3 carry nothing. The primitives below are the only code that differs
// between the two instruction sets; NEON's are built to answer what SSE2's do, bit for bit.

#include <cmath>

#if defined(__SSE2__) || defined(_M_X64)
#define GRAVELIX_STEREO_LANES 1
#include <emmintrin.h>
#elif defined(__aarch64__)
#define GRAVELIX_STEREO_LANES 1
#include <arm_neon.h>
#else
#define GRAVELIX_STEREO_LANES 0
#endif

#if GRAVELIX_STEREO_LANES

namespace lanes {

#if defined(__SSE2__) || defined(_M_X64)
using Floats = __m128;
using Doubles = __m128d;

inline Floats splat(float v) {
    return _mm_set1_ps(v);
}
inline Doubles splat(double v) {
    return _mm_set1_pd(v);
}
inline Floats pair(float left, float right) {
    return _mm_unpacklo_ps(_mm_set_ss(left), _mm_set_ss(right));
}
inline Doubles pair(double left, double right) {
    return _mm_set_pd(right, left);
}
inline float left(Floats v) {
    return _mm_cvtss_f32(v);
}
inline float right(Floats v) {
    return _mm_cvtss_f32(_mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)));
}
inline void split(Doubles v, double& l, double& r) {
    _mm_storel_pd(&l, v);
    _mm_storeh_pd(&r, v);
}
inline Doubles widen(Floats v) {
    return _mm_cvtps_pd(v);
}
inline Floats narrow(Doubles v) {
    return _mm_cvtpd_ps(v);
}
inline Floats add(Floats a, Floats b) {
    return _mm_add_ps(a, b);
}
inline Floats sub(Floats a, Floats b) {
    return _mm_sub_ps(a, b);
}
inline Floats mul(Floats a, Floats b) {
    return _mm_mul_ps(a, b);
}
inline Doubles add(Doubles a, Doubles b) {
    return _mm_add_pd(a, b);
}
inline Doubles mul(Doubles a, Doubles b) {
    return _mm_mul_pd(a, b);
}
inline Doubles div(Doubles a, Doubles b) {
    return _mm_div_pd(a, b);
}
// maxps answers its second operand unless the first is greater, minps unless the first is less.
inline Floats maxOf(Floats a, Floats b) {
    return _mm_max_ps(a, b);
}
inline Floats minOf(Floats a, Floats b) {
    return _mm_min_ps(a, b);
}
inline Floats absOf(Floats x) {
    return _mm_andnot_ps(_mm_set1_ps(-0.0f), x);
}

// boundedInput for both lanes: within +-1e6 unchanged, NaN and infinities 0, other values
// the limit with their sign.
inline Floats boundedInput(Floats x) {
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 limit = _mm_set1_ps(1.0e6f);
    const __m128 ax = _mm_andnot_ps(sign, x);
    const __m128 within = _mm_cmple_ps(ax, limit);
    const __m128 finite = _mm_cmplt_ps(ax, _mm_set1_ps(HUGE_VALF));
    const __m128 limited = _mm_and_ps(finite, _mm_or_ps(_mm_and_ps(sign, x), limit));
    return _mm_or_ps(_mm_and_ps(within, x), _mm_andnot_ps(within, limited));
}
#else
using Floats = float32x4_t;
using Doubles = float64x2_t;

// Explicit NEON operations throughout, never the vector operators: each is one instruction
// rounded as written (the build keeps contraction off, so no multiply and add fuse).
inline Floats splat(float v) {
    return vdupq_n_f32(v);
}
inline Doubles splat(double v) {
    return vdupq_n_f64(v);
}
inline Floats pair(float left, float right) {
    return vsetq_lane_f32(right, vsetq_lane_f32(left, vdupq_n_f32(0.0f), 0), 1);
}
inline Doubles pair(double left, double right) {
    return vsetq_lane_f64(right, vdupq_n_f64(left), 1);
}
inline float left(Floats v) {
    return vgetq_lane_f32(v, 0);
}
inline float right(Floats v) {
    return vgetq_lane_f32(v, 1);
}
inline void split(Doubles v, double& l, double& r) {
    l = vgetq_lane_f64(v, 0);
    r = vgetq_lane_f64(v, 1);
}
inline Doubles widen(Floats v) {
    return vcvt_f64_f32(vget_low_f32(v));
}
// As SSE2's conversion: the upper two lanes zero.
inline Floats narrow(Doubles v) {
    return vcombine_f32(vcvt_f32_f64(v), vdup_n_f32(0.0f));
}
inline Floats add(Floats a, Floats b) {
    return vaddq_f32(a, b);
}
inline Floats sub(Floats a, Floats b) {
    return vsubq_f32(a, b);
}
inline Floats mul(Floats a, Floats b) {
    return vmulq_f32(a, b);
}
inline Doubles add(Doubles a, Doubles b) {
    return vaddq_f64(a, b);
}
inline Doubles mul(Doubles a, Doubles b) {
    return vmulq_f64(a, b);
}
inline Doubles div(Doubles a, Doubles b) {
    return vdivq_f64(a, b);
}
// SSE2's maxps and minps answer the operand they pick as flush-to-zero reads it: a subnormal
// becomes a zero of its sign while the flag is set. A select keeps the bits, so its answer
// passes through fmax with itself, which flushes as the FPCR says (and which the compiler
// cannot drop as it drops a multiplication by one).
inline Floats flushed(Floats v) {
    __asm__("fmax %0.4s, %0.4s, %0.4s" : "+w"(v));
    return v;
}
inline Doubles flushed(Doubles v) {
    __asm__("fmax %0.2d, %0.2d, %0.2d" : "+w"(v));
    return v;
}
// SSE2's selects, not NEON's fmax/fmin, which answer NaN for a NaN operand and order the zeros.
inline Floats maxOf(Floats a, Floats b) {
    return flushed(vbslq_f32(vcgtq_f32(a, b), a, b));
}
inline Floats minOf(Floats a, Floats b) {
    return flushed(vbslq_f32(vcltq_f32(a, b), a, b));
}
// The sign bit cleared as a bit pattern, as andnot does: no flushing of a subnormal input.
inline Floats absOf(Floats x) {
    return vreinterpretq_f32_u32(vbicq_u32(vreinterpretq_u32_f32(x), vdupq_n_u32(0x80000000u)));
}

inline Floats boundedInput(Floats x) {
    const uint32x4_t bits = vreinterpretq_u32_f32(x);
    const uint32x4_t sign = vdupq_n_u32(0x80000000u);
    const float32x4_t limit = vdupq_n_f32(1.0e6f);
    const float32x4_t ax = absOf(x);
    const uint32x4_t within = vcleq_f32(ax, limit);
    const uint32x4_t finite = vcltq_f32(ax, vdupq_n_f32(HUGE_VALF));
    const uint32x4_t limited =
        vandq_u32(finite, vorrq_u32(vandq_u32(sign, bits), vreinterpretq_u32_f32(limit)));
    return vreinterpretq_f32_u32(vbslq_u32(within, bits, limited));
}
#endif

inline void split(Floats v, float& l, float& r) {
    l = left(v);
    r = right(v);
}

inline void lowPassStep(Floats& x, Floats a, Floats b, Floats& s) {
    const Floats y = sub(mul(a, x), mul(b, s));
    s = y;
    x = y;
}

inline void highPassStep(Floats& x, Floats a, Floats b, Floats& s) {
    const Floats y = sub(mul(a, x), mul(b, s));
    s = y;
    x = sub(x, y);
}

inline void svfLowPassStep(Floats& x, Floats g, Floats d, Floats& low, Floats& band) {
    low = add(mul(g, band), low);
    band = add(mul(sub(sub(x, low), mul(d, band)), g), band);
    x = low;
}

// halfPrev is 0.5·double(prev).
inline void midpointStep(Floats& mid, Floats x, Doubles& halfPrev) {
    const Doubles halfX = mul(splat(0.5), widen(x));
    mid = narrow(add(halfPrev, halfX));
    halfPrev = halfX;
}

// With lo below hi, min(hi, max(lo, x)) is the scalar select for every x, NaN and either zero
// included.
inline void clampStep(Floats& x, Floats hi, Floats lo) {
    x = minOf(hi, maxOf(lo, x));
}

// kPlus14 is (double(k) + 1.4), the same for both lanes.
inline void diodeCurve(Floats& x, Floats k, Doubles kPlus14) {
    const Floats ax = absOf(x);
    const Floats numerator = mul(add(k, ax), x);
    const Doubles denominator = add(add(mul(kPlus14, widen(ax)), splat(1.0)), widen(mul(x, x)));
    x = narrow(div(mul(splat(0.3), widen(numerator)), denominator));
}

// quarterSMid is 0.25·double(sMid).
inline void decimateStep(Floats mid, Floats x, Floats& out, Doubles& quarterSMid, Floats& sPrev) {
    const Doubles quarterMid = mul(splat(0.25), widen(mid));
    out = narrow(add(add(quarterMid, mul(splat(0.5), widen(sPrev))), quarterSMid));
    quarterSMid = quarterMid;
    sPrev = x;
}

} // namespace lanes

#endif

#pragma once

// The per-sample steps the chain's stages are made of, for one channel. All arithmetic is float
// except where a step widens to double; a double result is narrowed once, when it is stored.
// Each step is written exactly as it must round, so keep operand order and widening as they
// are (the build forbids contraction into fused multiply-adds).

#include <cmath>

inline void lowPassStep(float& x, float a, float b, float& s) {
    const float y = a * x - b * s;
    s = y;
    x = y;
}

inline void highPassStep(float& x, float a, float b, float& s) {
    const float y = a * x - b * s;
    s = y;
    x = x - y;
}

// Two consecutive points through one low-pass state.
inline void pairedLowPassStep(float& x1, float& x2, float a, float b, float& s) {
    lowPassStep(x1, a, b, s);
    lowPassStep(x2, a, b, s);
}

inline void pairedHighPassStep(float& x1, float& x2, float a, float b, float& s) {
    highPassStep(x1, a, b, s);
    highPassStep(x2, a, b, s);
}

// State-variable low-pass; low is updated from the previous band value, so the output
// does not yet depend on the current sample.
inline void svfLowPassStep(float& x, float g, float d, float& low, float& band) {
    low = g * band + low;
    band = (x - low - d * band) * g + band;
    x = low;
}

inline void midpointStep(float& mid, float x, float& prev) {
    mid = static_cast<float>(0.5 * static_cast<double>(prev) + 0.5 * static_cast<double>(x));
    prev = x;
}

// Written as selects so the compiler emits min/max instead of a branch that noise
// mispredicts about half the time.
inline void clampStep(float& x, float hi, float lo) {
    x = x > hi ? hi : (x < lo ? lo : x);
}

// Soft diode clipper; its result stays below 0.3 in size for any finite input.
inline void diodeCurve(float& x, float k) {
    const float ax = std::fabs(x);
    const float numerator = (k + ax) * x;
    const double denominator =
        (static_cast<double>(k) + 1.4) * static_cast<double>(ax) + 1.0 + static_cast<double>(x * x);
    x = static_cast<float>(0.3 * static_cast<double>(numerator) / denominator);
}

// Back to one point per sample: weights 0.25 / 0.5 / 0.25 over the current mid-point, the
// previous full-rate point and the previous mid-point.
inline void decimateStep(float mid, float x, float& out, float& sMid, float& sPrev) {
    out = static_cast<float>(0.25 * static_cast<double>(mid) + 0.5 * static_cast<double>(sPrev) +
                             0.25 * static_cast<double>(sMid));
    sMid = mid;
    sPrev = x;
}

// Input conditioning before the chain: a NaN or infinite sample would stay in the filter
// states for good, and beyond about 1e36 the chain itself overflows. Within +-1e6 the sample
// passes unchanged.
inline float boundedInput(float x) {
    constexpr float kLimit = 1.0e6f;
    if (std::fabs(x) <= kLimit) {
        return x;
    }
    if (std::isnan(x) || std::isinf(x)) {
        return 0.0f;
    }
    return x > 0.0f ? kLimit : -kLimit;
}

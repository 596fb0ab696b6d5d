#pragma once

// The pedal's signal chain: the per-sample primitives and one channel's path through them.
// All arithmetic is float except where a step widens to double; a double result is narrowed
// once, when it is stored. Each step is written exactly as it must round, so keep operand
// order and widening as they are (the build forbids contraction into fused multiply-adds).

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

// Everything one sample of the chain multiplies with, read once per sample.
struct ChainCoefficients {
    float lowCutA, lowCutB;
    bool pickupOn;
    float pickupCoeff;
    float opampGain;
    float gainHpA, gainHpB;
    float bandLpA, bandLpB;
    float clipHigh, clipLow;
    float couplingA, couplingB;
    float smoothA, smoothB;
    float diodeKnee;
    float highCutA, highCutB;
    float outputGain;
};

// One channel's state and working values. The processing loop works on a local copy, so the
// compiler can keep the states in registers: output buffers may alias any float member.
struct ChannelState {
    float lowCut;
    float pickupLow;
    float pickupBand;
    float gainHp;
    float bandLp;
    float prev;
    float coupling;
    float smooth;
    float decimMid;
    float decimPrev;
    float highCut;
    float work;
    float mid;
    float out;
};

// Runs one scaled input sample through the channel and answers its output sample. Inlined so
// the states stay in registers across the block.
// Real time: no allocation, locks, host calls or transcendental functions.
[[gnu::always_inline]] inline float channelChain(float x, const ChainCoefficients& k,
                                                 ChannelState& s) {
    highPassStep(x, k.lowCutA, k.lowCutB, s.lowCut);
    if (k.pickupOn) {
        svfLowPassStep(x, k.pickupCoeff, 1.0f, s.pickupLow, s.pickupBand);
    }
    x = k.opampGain * x;
    highPassStep(x, k.gainHpA, k.gainHpB, s.gainHp);
    lowPassStep(x, k.bandLpA, k.bandLpB, s.bandLp);

    // Two points per sample from here to the diode: the mid-point first, then x.
    float mid = 0.0f;
    midpointStep(mid, x, s.prev);
    clampStep(mid, k.clipHigh, k.clipLow);
    clampStep(x, k.clipHigh, k.clipLow);
    pairedHighPassStep(mid, x, k.couplingA, k.couplingB, s.coupling);
    pairedLowPassStep(mid, x, k.smoothA, k.smoothB, s.smooth);
    diodeCurve(mid, k.diodeKnee);
    diodeCurve(x, k.diodeKnee);

    float out = 0.0f;
    decimateStep(mid, x, out, s.decimMid, s.decimPrev);
    lowPassStep(out, k.highCutA, k.highCutB, s.highCut);

    s.work = x;
    s.mid = mid;
    s.out = out;
    return out * k.outputGain;
}

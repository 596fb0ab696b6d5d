#pragma once

// A number the signal chain multiplies with, kept in all four lanes of one aligned 16-byte group:
// the scalar chain reads lane 0 and the two-lane chain the group, so both read one source and
// nothing is broadcast per sample. A change is one aligned store, so the audio thread never sees
// the lanes disagree.

#include "coefficients.h"
#include "lanesteps.h"

class ChainCoefficient {
public:
#if GRAVELIX_STEREO_SSE2
    // Not called on the audio thread, which reads the value from its next sample on.
    void set(float v) { lanes = _mm_set1_ps(v); }
    float value() const { return _mm_cvtss_f32(lanes); }
    __m128 both() const { return lanes; }

private:
    __m128 lanes = _mm_setzero_ps();
#else
    void set(float v) { lane = v; }
    float value() const { return lane; }

private:
    float lane = 0.0f;
#endif
};

// A one-pole pair as the chain reads it (y = a*x - b*s).
struct OnePoleCoefficients {
    ChainCoefficient a;
    ChainCoefficient b;

    // b first, then a, as the rules compute them.
    void set(OnePolePair p) {
        b.set(p.b);
        a.set(p.a);
    }
};

#pragma once

// A number the signal chain multiplies with, kept in all four lanes of one aligned 16-byte group:
// the scalar chain reads lane 0 and the two-lane chain the group, so both read one source and
// nothing is broadcast per sample. A change is one aligned store, so the audio thread never sees
// the lanes disagree (on ARM the two lanes read lie in one 8-byte half, which is stored whole).

#include "coefficients.h"
#include "lanesteps.h"

class ChainCoefficient {
public:
#if GRAVELIX_STEREO_LANES
    // Not called on the audio thread, which reads the value from its next sample on.
    void set(float v) { values = lanes::splat(v); }
    float value() const { return lanes::left(values); }
    lanes::Floats both() const { return values; }

private:
    lanes::Floats values = lanes::splat(0.0f);
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

// Test access to the effect's members, plus a few ways of running audio through it.
#pragma once

#include <cstring>
#include <vector>

#include "gravelix.h"
#include "recordinghost.h"

class EffectProbe : public Gravelix {
public:
    explicit EffectProbe(audioMasterCallback cb = RecordingHost::callback()) : Gravelix(cb) {}
    using Gravelix::bandLpA, Gravelix::bandLpB, Gravelix::clipHigh, Gravelix::clipLow,
        Gravelix::couplingA, Gravelix::couplingB, Gravelix::diodeKnee, Gravelix::gainHpA,
        Gravelix::gainHpB, Gravelix::highCutA, Gravelix::highCutB, Gravelix::inputGain,
        Gravelix::lowCutA, Gravelix::lowCutB, Gravelix::opampGain, Gravelix::outputGain,
        Gravelix::pickupCoeff, Gravelix::potResistance, Gravelix::processRate, Gravelix::programs,
        Gravelix::smoothA, Gravelix::smoothB, Gravelix::lastValue, Gravelix::chainCoefficients;
#if GRAVELIX_STEREO_SSE2
    using Gravelix::stereoCoefficients;
#endif

    // Every value that a rate or parameter change may recompute, in member order.
    std::vector<float> coefficients() const {
        return {inputGain, outputGain, pickupCoeff, potResistance, gainHpA,   gainHpB,
                bandLpA,   bandLpB,    clipHigh,    clipLow,       diodeKnee, opampGain,
                lowCutA,   lowCutB,    couplingA,   couplingB,     smoothA,   smoothB,
                highCutA,  highCutB,   processRate};
    }
    // The state that carries from one sample to the next.
    std::vector<float> state() const {
        return {lowCutStateL, lowCutStateR,  gainHpStateL,  gainHpStateR,   bandLpStateL,
                bandLpStateR, prevL,         prevR,         couplingStateL, couplingStateR,
                smoothStateL, smoothStateR,  decimMidL,     decimPrevL,     decimMidR,
                decimPrevR,   highCutStateL, highCutStateR, pickupLowL,     pickupBandL,
                pickupLowR,   pickupBandR};
    }
};

struct Stereo {
    std::vector<float> l, r;
};

// Runs the signal through in blocks of blockSize frames and answers the two outputs.
inline Stereo process(Gravelix& effect, Stereo in, int blockSize = 64) {
    Stereo out{std::vector<float>(in.l.size()), std::vector<float>(in.l.size())};
    for (std::size_t i = 0; i < in.l.size(); i += static_cast<std::size_t>(blockSize)) {
        const auto n = static_cast<VstInt32>(std::min<std::size_t>(blockSize, in.l.size() - i));
        float* ins[2] = {in.l.data() + i, in.r.data() + i};
        float* outs[2] = {out.l.data() + i, out.r.data() + i};
        effect.processReplacing(ins, outs, n);
    }
    return out;
}

// Deterministic noise in [-amplitude, amplitude].
inline std::vector<float> noise(std::size_t n, float amplitude, unsigned seed = 1) {
    std::vector<float> v(n);
    for (auto& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = amplitude * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
    return v;
}

inline bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Test access to the effect's members, plus a few ways of running audio through it.
#pragma once

#include <cstring>
#include <vector>

#include "gravelix.h"
#include "recordinghost.h"
#include "soundfingerprint.h"

// Reads a chain coefficient where a test reads it as a float.
struct CoefficientView {
    const ChainCoefficient& c;
    operator float() const { return c.value(); }
};

class EffectProbe : public Gravelix {
public:
    explicit EffectProbe(audioMasterCallback cb = RecordingHost::callback()) : Gravelix(cb) {}
    using Gravelix::chain, Gravelix::processRate, Gravelix::programs, Gravelix::lastValue;

    CoefficientView inputGain{chain.input.gain}, outputGain{chain.output.gain};
    CoefficientView pickupCoeff{chain.pickup.coeff};
    CoefficientView opampGain{chain.opamp.gain}, gainHpA{chain.opamp.gainHp.a},
        gainHpB{chain.opamp.gainHp.b}, bandLpA{chain.opamp.bandLp.a}, bandLpB{chain.opamp.bandLp.b};
    CoefficientView clipHigh{chain.clippers.clipHigh}, clipLow{chain.clippers.clipLow},
        diodeKnee{chain.clippers.diodeKnee};
    CoefficientView couplingA{chain.clippers.coupling.a}, couplingB{chain.clippers.coupling.b},
        smoothA{chain.clippers.smooth.a}, smoothB{chain.clippers.smooth.b};
    CoefficientView lowCutA{chain.lowCut.pair.a}, lowCutB{chain.lowCut.pair.b};
    CoefficientView highCutA{chain.highCut.pair.a}, highCutB{chain.highCut.pair.b};

    // Every value that a rate or parameter change may recompute.
    std::vector<float> coefficients() const {
        return {inputGain,  outputGain, pickupCoeff, chain.opamp.potResistance,
                gainHpA,    gainHpB,    bandLpA,     bandLpB,
                clipHigh,   clipLow,    diodeKnee,   opampGain,
                lowCutA,    lowCutB,    couplingA,   couplingB,
                smoothA,    smoothB,    highCutA,    highCutB,
                processRate};
    }
    // The state that carries from one sample to the next, both channels.
    std::vector<float> state() const {
        std::vector<float> v;
        for (Channel c : {kLeft, kRight}) {
            const SignalChain::ChannelState s = chain.load(c);
            v.insert(v.end(),
                     {s.lowCut.lowCut, s.pickup.low, s.pickup.band, s.opamp.gainHp, s.opamp.bandLp,
                      s.clippers.prev, s.clippers.coupling, s.clippers.smooth, s.clippers.decimMid,
                      s.clippers.decimPrev, s.highCut.highCut});
        }
        return v;
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

inline bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

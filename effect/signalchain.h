#pragma once

// The pedal's signal chain: its stages in signal order, one channel's states of all of them,
// and a frame through the chain in mono, in stereo one channel after the other, and in stereo
// with both channels in two lanes where SSE2 or NEON exists. The two stereo forms agree bit for
// bit. Called on the audio thread: no allocation, locks, host calls or transcendental functions.

#include "signalstages.h"

// ClipStage is the clipping section: Clippers for the pedal, HqClippers for Gravelix HQ.
template <class ClipStage> struct BasicSignalChain {
    InputLevel input;
    InputHighPass lowCut;
    PickupFilter pickup;
    OpampStage opamp;
    ClipStage clippers;
    ToneLowPass highCut;
    OutputLevel output;

    // Clears every stage's per-channel state; coefficients and switches stay.
    void reset() {
        lowCut.reset();
        pickup.reset();
        opamp.reset();
        clippers.reset();
        highCut.reset();
    }

    // One channel's states of every stage. The processing loop works on a local copy for a
    // block, so the compiler can keep the states in registers: output buffers may alias any
    // float member.
    struct ChannelState {
        InputHighPass::State lowCut;
        PickupFilter::State pickup;
        OpampStage::State opamp;
        typename ClipStage::State clippers;
        ToneLowPass::State highCut;
    };
    ChannelState load(Channel c) const {
        return {lowCut.states[c], pickup.states[c], opamp.states[c], clippers.states[c],
                highCut.states[c]};
    }
    void store(Channel c, const ChannelState& s) {
        lowCut.states[c] = s.lowCut;
        pickup.states[c] = s.pickup;
        opamp.states[c] = s.opamp;
        clippers.states[c] = s.clippers;
        highCut.states[c] = s.highCut;
    }

    // One scaled input sample through one channel's stages; answers its output sample.
    [[gnu::always_inline]] float channel(float x, ChannelState& s) const {
        lowCut.run(x, s.lowCut);
        pickup.run(x, s.pickup);
        opamp.run(x, s.opamp);
        float out = clippers.run(x, s.clippers);
        highCut.run(out, s.highCut);
        return output.run(out);
    }

    // Both inputs summed through the left channel's states.
    [[gnu::always_inline]] float mono(float inL, float inR, ChannelState& s) const {
        return channel(input.mono(inL, inR), s);
    }

    // Each input through its own channel: the readable statement of the two-lane form.
    [[gnu::always_inline]] void stereo(float inL, float inR, ChannelState& left,
                                       ChannelState& right, float& outL, float& outR) const {
        const float xL = input.stereo(inL);
        const float xR = input.stereo(inR);
        outL = channel(xL, left);
        outR = channel(xR, right);
    }

#if GRAVELIX_STEREO_LANES
    // Both channels' states of every stage, left in lane 0 and right in lane 1.
    struct Lanes {
        InputHighPass::Lanes lowCut;
        PickupFilter::Lanes pickup;
        OpampStage::Lanes opamp;
        typename ClipStage::Lanes clippers;
        ToneLowPass::Lanes highCut;
    };
    static Lanes toLanes(const ChannelState& l, const ChannelState& r) {
        return {InputHighPass::toLanes(l.lowCut, r.lowCut),
                PickupFilter::toLanes(l.pickup, r.pickup), OpampStage::toLanes(l.opamp, r.opamp),
                ClipStage::toLanes(l.clippers, r.clippers),
                ToneLowPass::toLanes(l.highCut, r.highCut)};
    }
    static void fromLanes(const Lanes& s, ChannelState& l, ChannelState& r) {
        InputHighPass::fromLanes(s.lowCut, l.lowCut, r.lowCut);
        PickupFilter::fromLanes(s.pickup, l.pickup, r.pickup);
        OpampStage::fromLanes(s.opamp, l.opamp, r.opamp);
        ClipStage::fromLanes(s.clippers, l.clippers, r.clippers);
        ToneLowPass::fromLanes(s.highCut, l.highCut, r.highCut);
    }

    // stereo() with both channels in one register; the stages run as in channel().
    [[gnu::always_inline]] void stereo(float inL, float inR, Lanes& s, float& outL,
                                       float& outR) const {
        lanes::Floats x = input.stereo(lanes::pair(inL, inR));
        lowCut.run(x, s.lowCut);
        pickup.run(x, s.pickup);
        opamp.run(x, s.opamp);
        lanes::Floats out = clippers.run(x, s.clippers);
        highCut.run(out, s.highCut);
        const lanes::Floats y = output.run(out);
        outL = lanes::left(y);
        outR = lanes::right(y);
    }
#endif
};

using SignalChain = BasicSignalChain<Clippers>;

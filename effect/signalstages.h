#pragma once

// The stages of the pedal's signal chain. Each owns its coefficients (one source for both forms)
// and the state it carries per channel, clears that state with reset(), and runs either one
// channel (State) or, where SSE2 or NEON exists, both channels in two lanes (Lanes). The run
// functions take the states by reference because the processing loop works on block-local copies
// (see SignalChain). Called on the audio thread: no allocation, locks, host calls or transcendental
// functions.

#include <array>
#include <cstddef>

#include "chaincoefficient.h"
#include "coefficients.h"
#include "lanesteps.h"
#include "signalsteps.h"

enum Channel : std::size_t { kLeft = 0, kRight = 1 };

// The input gain and how a channel's sample enters the chain; no state.
struct InputLevel {
    ChainCoefficient gain;

    // Both inputs summed into one channel: (inR + inL)·gain in float, times 0.3 in double.
    [[gnu::always_inline]] float mono(float inL, float inR) const {
        return static_cast<float>(
            static_cast<double>((boundedInput(inR) + boundedInput(inL)) * gain.value()) * 0.3);
    }
    // One channel of two: (gain·in) in float, times 0.6 in double.
    [[gnu::always_inline]] float stereo(float in) const {
        return static_cast<float>(static_cast<double>(gain.value() * boundedInput(in)) * 0.6);
    }
#if GRAVELIX_STEREO_LANES
    [[gnu::always_inline]] lanes::Floats stereo(lanes::Floats in) const {
        using namespace lanes;
        const Floats x = boundedInput(in);
        return narrow(mul(widen(mul(gain.both(), x)), splat(0.6)));
    }
#endif
};

// Low Cut: the high-pass at the input.
struct InputHighPass {
    struct State {
        float lowCut = 0.0f;
    };
    OnePoleCoefficients pair;
    std::array<State, 2> states{};

    void reset() { states = {}; }
    [[gnu::always_inline]] void run(float& x, State& s) const {
        highPassStep(x, pair.a.value(), pair.b.value(), s.lowCut);
    }
#if GRAVELIX_STEREO_LANES
    struct Lanes {
        lanes::Floats lowCut;
    };
    static Lanes toLanes(const State& l, const State& r) {
        return {lanes::pair(l.lowCut, r.lowCut)};
    }
    static void fromLanes(const Lanes& s, State& l, State& r) {
        lanes::split(s.lowCut, l.lowCut, r.lowCut);
    }
    [[gnu::always_inline]] void run(lanes::Floats& x, Lanes& s) const {
        lanes::highPassStep(x, pair.a.both(), pair.b.both(), s.lowCut);
    }
#endif
};

// The pickup's low-pass, a state-variable filter that the Pickup switch bypasses; while off, its
// state keeps what it holds.
struct PickupFilter {
    struct State {
        float low = 0.0f;
        float band = 0.0f;
    };
    ChainCoefficient coeff;
    bool on = false;
    std::array<State, 2> states{};

    void reset() { states = {}; }
    [[gnu::always_inline]] void run(float& x, State& s) const {
        if (on) {
            svfLowPassStep(x, coeff.value(), 1.0f, s.low, s.band);
        }
    }
#if GRAVELIX_STEREO_LANES
    struct Lanes {
        lanes::Floats low, band;
    };
    static Lanes toLanes(const State& l, const State& r) {
        return {lanes::pair(l.low, r.low), lanes::pair(l.band, r.band)};
    }
    static void fromLanes(const Lanes& s, State& l, State& r) {
        lanes::split(s.low, l.low, r.low);
        lanes::split(s.band, l.band, r.band);
    }
    [[gnu::always_inline]] void run(lanes::Floats& x, Lanes& s) const {
        if (on) {
            lanes::svfLowPassStep(x, coeff.both(), lanes::splat(1.0f), s.low, s.band);
        }
    }
#endif
};

// The op-amp's gain, which follows the Distortion pot, and the high-pass and the band limit
// around it.
struct OpampStage {
    struct State {
        float gainHp = 0.0f;
        float bandLp = 0.0f;
    };
    ChainCoefficient gain;
    OnePoleCoefficients gainHp;
    OnePoleCoefficients bandLp;
    // The modelled pot the gain comes from; the chain never reads it.
    float potResistance = 0.0f;
    std::array<State, 2> states{};

    // In the rule's order: the pot, the gain, then each pair b before a.
    void set(const DistortionValues& d) {
        potResistance = d.potResistance;
        gain.set(d.opampGain);
        gainHp.set({d.gainHpA, d.gainHpB});
        bandLp.set({d.bandLpA, d.bandLpB});
    }
    void reset() { states = {}; }
    [[gnu::always_inline]] void run(float& x, State& s) const {
        x = gain.value() * x;
        highPassStep(x, gainHp.a.value(), gainHp.b.value(), s.gainHp);
        lowPassStep(x, bandLp.a.value(), bandLp.b.value(), s.bandLp);
    }
#if GRAVELIX_STEREO_LANES
    struct Lanes {
        lanes::Floats gainHp, bandLp;
    };
    static Lanes toLanes(const State& l, const State& r) {
        return {lanes::pair(l.gainHp, r.gainHp), lanes::pair(l.bandLp, r.bandLp)};
    }
    static void fromLanes(const Lanes& s, State& l, State& r) {
        lanes::split(s.gainHp, l.gainHp, r.gainHp);
        lanes::split(s.bandLp, l.bandLp, r.bandLp);
    }
    [[gnu::always_inline]] void run(lanes::Floats& x, Lanes& s) const {
        x = lanes::mul(gain.both(), x);
        lanes::highPassStep(x, gainHp.a.both(), gainHp.b.both(), s.gainHp);
        lanes::lowPassStep(x, bandLp.a.both(), bandLp.b.both(), s.bandLp);
    }
#endif
};

// The clipping section, run on two points per sample (the mid-point first, then the sample):
// the op-amp's supply limits, the coupling high-pass and the smoothing low-pass (each one state
// advanced by both points), the diode clipper, then the decimator back to one point.
struct Clippers {
    struct State {
        float prev = 0.0f;
        float coupling = 0.0f;
        float smooth = 0.0f;
        float decimMid = 0.0f;
        float decimPrev = 0.0f;
    };
    ChainCoefficient clipHigh;
    ChainCoefficient clipLow;
    OnePoleCoefficients coupling;
    OnePoleCoefficients smooth;
    ChainCoefficient diodeKnee;
    std::array<State, 2> states{};

    void reset() { states = {}; }
    // The coupling and smoothing pairs for the rate; not on the audio thread.
    void setCorners(float processRate) {
        coupling.set(startUpPair(kCouplingCorner, processRate));
        smooth.set(startUpPair(kSmoothCorner, processRate));
    }
    // The frames of delay the section reports to the host.
    static int latencyFrames() { return 0; }
    [[gnu::always_inline]] float run(float x, State& s) const {
        float mid = 0.0f;
        midpointStep(mid, x, s.prev);
        const float hi = clipHigh.value();
        const float lo = clipLow.value();
        clampStep(mid, hi, lo);
        clampStep(x, hi, lo);
        pairedHighPassStep(mid, x, coupling.a.value(), coupling.b.value(), s.coupling);
        pairedLowPassStep(mid, x, smooth.a.value(), smooth.b.value(), s.smooth);
        const float knee = diodeKnee.value();
        diodeCurve(mid, knee);
        diodeCurve(x, knee);
        float out = 0.0f;
        decimateStep(mid, x, out, s.decimMid, s.decimPrev);
        return out;
    }
#if GRAVELIX_STEREO_LANES
    // The mid-point and the decimator keep their float states scaled and widened, as 0.5·prev
    // and 0.25·decimMid in double: that is all they ever read of them, it is exact, and the
    // value is computed once per frame instead of twice.
    struct Lanes {
        lanes::Doubles halfPrev;
        lanes::Floats coupling, smooth;
        lanes::Doubles quarterDecimMid;
        lanes::Floats decimPrev;
    };
    static Lanes toLanes(const State& l, const State& r) {
        using lanes::pair, lanes::widen, lanes::mul, lanes::splat;
        return {mul(splat(0.5), widen(pair(l.prev, r.prev))), pair(l.coupling, r.coupling),
                pair(l.smooth, r.smooth), mul(splat(0.25), widen(pair(l.decimMid, r.decimMid))),
                pair(l.decimPrev, r.decimPrev)};
    }
    static void fromLanes(const Lanes& s, State& l, State& r) {
        using lanes::split, lanes::narrow, lanes::mul, lanes::splat;
        // Scaling by a power of two and back is exact for every float.
        split(narrow(mul(splat(2.0), s.halfPrev)), l.prev, r.prev);
        split(s.coupling, l.coupling, r.coupling);
        split(s.smooth, l.smooth, r.smooth);
        split(narrow(mul(splat(4.0), s.quarterDecimMid)), l.decimMid, r.decimMid);
        split(s.decimPrev, l.decimPrev, r.decimPrev);
    }
    [[gnu::always_inline]] lanes::Floats run(lanes::Floats x, Lanes& s) const {
        using namespace lanes;
        lanes::Floats mid;
        midpointStep(mid, x, s.halfPrev);
        const lanes::Floats hi = clipHigh.both();
        const lanes::Floats lo = clipLow.both();
        clampStep(mid, hi, lo);
        clampStep(x, hi, lo);
        highPassStep(mid, coupling.a.both(), coupling.b.both(), s.coupling);
        highPassStep(x, coupling.a.both(), coupling.b.both(), s.coupling);
        lowPassStep(mid, smooth.a.both(), smooth.b.both(), s.smooth);
        lowPassStep(x, smooth.a.both(), smooth.b.both(), s.smooth);
        const lanes::Floats knee = diodeKnee.both();
        const Doubles kneePlus14 = add(widen(knee), splat(1.4));
        diodeCurve(mid, knee, kneePlus14);
        diodeCurve(x, knee, kneePlus14);
        lanes::Floats out;
        decimateStep(mid, x, out, s.quarterDecimMid, s.decimPrev);
        return out;
    }
#endif
};

// High Cut: the tone low-pass after the decimator.
struct ToneLowPass {
    struct State {
        float highCut = 0.0f;
    };
    OnePoleCoefficients pair;
    std::array<State, 2> states{};

    void reset() { states = {}; }
    [[gnu::always_inline]] void run(float& x, State& s) const {
        lowPassStep(x, pair.a.value(), pair.b.value(), s.highCut);
    }
#if GRAVELIX_STEREO_LANES
    struct Lanes {
        lanes::Floats highCut;
    };
    static Lanes toLanes(const State& l, const State& r) {
        return {lanes::pair(l.highCut, r.highCut)};
    }
    static void fromLanes(const Lanes& s, State& l, State& r) {
        lanes::split(s.highCut, l.highCut, r.highCut);
    }
    [[gnu::always_inline]] void run(lanes::Floats& x, Lanes& s) const {
        lanes::lowPassStep(x, pair.a.both(), pair.b.both(), s.highCut);
    }
#endif
};

// The output gain; no state.
struct OutputLevel {
    ChainCoefficient gain;

    [[gnu::always_inline]] float run(float x) const { return x * gain.value(); }
#if GRAVELIX_STEREO_LANES
    [[gnu::always_inline]] lanes::Floats run(lanes::Floats x) const {
        return lanes::mul(x, gain.both());
    }
#endif
};

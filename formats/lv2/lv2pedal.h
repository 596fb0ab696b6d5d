// One pedal instance as an LV2 plug-in: the pedal core behind LV2's ports. Each control port
// holds the parameter's VST 2.4 normalised value, so the same values sound the same in both
// formats; the footswitch is the port hosts see as lv2:enabled (1 = processing).
#pragma once

#include <array>
#include <cstdint>

#include "lv2pedaluri.h"
#include "pedalcore.h"

class Lv2Pedal {
public:
    // A rate that is no positive finite number makes no instance (the caller answers null).
    static bool acceptsRate(double rate);
    explicit Lv2Pedal(double rate);

    void connect(std::uint32_t port, void* data);
    // A new stream: the stages' state cleared, the values kept.
    void activate() { pedal.reset(); }
    // Audio thread; real time: no allocation, locks or host calls.
    void run(std::uint32_t frames);

    const PedalCore& core() const { return pedal; }

private:
    void applyChangedControls();

    PedalCore pedal;
    const float* inLeft = nullptr;
    const float* inRight = nullptr;
    float* outLeft = nullptr;
    float* outRight = nullptr;
    float* latency = nullptr;
    std::array<const float*, kParameterCount> controls{};
    // Each control's port value as last applied; NaN until the first run applies them all.
    std::array<float, kParameterCount> applied;
};

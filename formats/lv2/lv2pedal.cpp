#include "lv2pedal.h"

#include <algorithm>
#include <cmath>
#include <limits>

bool Lv2Pedal::acceptsRate(double rate) {
    return std::isfinite(rate) && rate > 0.0;
}

Lv2Pedal::Lv2Pedal(double rate) {
    applied.fill(std::numeric_limits<float>::quiet_NaN());
    pedal.setSampleRate(static_cast<float>(rate));
}

void Lv2Pedal::connect(std::uint32_t port, void* data) {
    switch (port) {
    case kLv2InLeft:
        inLeft = static_cast<const float*>(data);
        break;
    case kLv2InRight:
        inRight = static_cast<const float*>(data);
        break;
    case kLv2OutLeft:
        outLeft = static_cast<float*>(data);
        break;
    case kLv2OutRight:
        outRight = static_cast<float*>(data);
        break;
    case kLv2LatencyPort:
        latency = static_cast<float*>(data);
        break;
    default:
        if (port >= kLv2FirstControl && port < kLv2LatencyPort) {
            controls[port - kLv2FirstControl] = static_cast<const float*>(data);
        }
        break;
    }
}

void Lv2Pedal::applyChangedControls() {
    // An instance is nothing but its port values, so the first run applies every one, in table
    // order as a VST 2.4 program does: a fresh VST 2.4 instance's start-up corners, which last
    // only until its host sets Low Cut and High Cut, never sound here.
    for (const ParameterInfo& row : kParameterTable) {
        const auto i = static_cast<std::size_t>(row.index);
        if (!controls[i]) {
            continue;
        }
        const float v = *controls[i];
        // Unchanged, or NaN (which would poison every coefficient): nothing to do. A value
        // out of range is remembered as it is, so it is not applied again every run.
        if (v == applied[i] || std::isnan(v)) {
            continue;
        }
        applied[i] = v;
        // The core reads the switches as the VST 2.4 effect does (Pickup and Stereo above 0.5,
        // Effect only at 1) and keeps the value itself.
        pedal.set(row.index, std::clamp(v, 0.0f, 1.0f));
    }
}

void Lv2Pedal::run(std::uint32_t frames) {
    // Audio thread; real time: no allocation, locks or host calls.
    applyChangedControls();
    if (latency) {
        *latency = static_cast<float>(pedal.latencyFrames());
    }
    if (!outLeft || !outRight || frames == 0) {
        return;
    }
    const float* l = inLeft;
    const float* r = inRight;
    if (!l || !r) {
        // No input: the pedal hears silence, in place.
        std::fill(outLeft, outLeft + frames, 0.0f);
        std::fill(outRight, outRight + frames, 0.0f);
        l = outLeft;
        r = outRight;
    }
    pedal.process(l, r, outLeft, outRight, static_cast<std::int32_t>(frames));
}

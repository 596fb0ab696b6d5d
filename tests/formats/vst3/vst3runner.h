// The values a host sends a VST3 pedal for the VST 2.4 normalised ones, and a runner with the
// VST 2.4 runner's interface (pluginrunner.h) so that the sound identity checks drive either.
#pragma once

#include "pluginrunner.h"
#include "vst3instance.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

// The program change's parameter id.
inline constexpr Steinberg::Vst::ParamID kProgramId = 1000;

// Continuous parameters unchanged; Pickup and Stereo as the switch the VST 2.4 value sets;
// Effect as VST3's bypass, which is on unless the footswitch is fully on.
inline double vst3Value(int index, float vst) {
    switch (index) {
    case 7:
    case 8:
        return vst > 0.5f ? 1.0 : 0.0;
    case 9:
        return vst == 1.0f ? 0.0 : 1.0;
    default:
        return static_cast<double>(vst);
    }
}

// The program change's value for a factory program (4 programs, 3 steps).
inline double programValue(int program) {
    return program / 3.0;
}

// An activated instance at a rate; programs and parameter values as changes at offset 0 of the
// next block, 64-frame blocks.
class Vst3Runner {
public:
    Vst3Runner(Vst3Library& library, float rate) : instance(library) {
        activated = instance.ok() && instance.activate(rate, blockFrames);
    }
    bool ok() const { return activated; }
    void loadProgram(int program) { pending.push_back({0, kProgramId, programValue(program)}); }
    void setParameter(int index, float value) {
        pending.push_back(
            {0, static_cast<Steinberg::Vst::ParamID>(index), vst3Value(index, value)});
    }
    void process(std::vector<float> left, std::vector<float> right, BitHash& hash) {
        std::vector<float> outL(left.size()), outR(left.size());
        for (std::size_t i = 0; i < left.size(); i += blockFrames) {
            const auto n =
                static_cast<Steinberg::int32>(std::min<std::size_t>(blockFrames, left.size() - i));
            EXPECT_EQ(instance.process(left.data() + i, right.data() + i, outL.data() + i,
                                       outR.data() + i, n, pending),
                      Steinberg::kResultOk);
            pending.clear();
        }
        for (std::size_t i = 0; i < left.size(); ++i) {
            hash.add(&outL[i], 1);
            hash.add(&outR[i], 1);
        }
    }

    Vst3Instance instance;

private:
    bool activated = false;
    std::vector<ParamPoint> pending;
};

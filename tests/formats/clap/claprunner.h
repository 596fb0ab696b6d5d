// The values a host sends a CLAP pedal for the VST 2.4 normalised ones, and a runner with the
// VST 2.4 runner's interface (pluginrunner.h) so that the sound identity checks drive either.
#pragma once

#include "clapinstance.h"
#include "pluginrunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

// Continuous parameters unchanged; Pickup and Stereo as the switch the VST 2.4 value sets;
// Effect as CLAP's bypass, which is on unless the footswitch is fully on.
inline double clapValue(int index, float vst) {
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

// An activated instance at a rate; programs through preset-load, parameter values as events at
// offset 0 of the next block, 64-frame blocks.
class ClapRunner {
public:
    ClapRunner(ClapLibrary& library, float rate) : instance(library) {
        activated = instance.plugin() && instance.activate(rate, blockFrames);
    }
    bool ok() const { return activated; }
    void loadProgram(int program) {
        EXPECT_TRUE(instance.loadPreset(std::to_string(program).c_str())) << "program " << program;
    }
    void setParameter(int index, float value) {
        pending.push_back({0, static_cast<clap_id>(index), clapValue(index, value)});
    }
    void process(std::vector<float> left, std::vector<float> right, BitHash& hash) {
        std::vector<float> outL(left.size()), outR(left.size());
        for (std::size_t i = 0; i < left.size(); i += blockFrames) {
            const auto n =
                static_cast<std::uint32_t>(std::min<std::size_t>(blockFrames, left.size() - i));
            instance.process(left.data() + i, right.data() + i, outL.data() + i, outR.data() + i, n,
                             pending);
            pending.clear();
        }
        for (std::size_t i = 0; i < left.size(); ++i) {
            hash.add(&outL[i], 1);
            hash.add(&outR[i], 1);
        }
    }

    ClapInstance instance;

private:
    bool activated = false;
    std::vector<ParamChange> pending;
};

// A plug-in opened through the host's loader at a rate, and noise run through it in host-sized
// blocks into a hash of its outputs: the sound identity tests of both plug-ins share it.
#pragma once

#include "pluginlibrary.h"
#include "recordinghost.h"
#include "tests/effect/soundfingerprint.h"

#include <algorithm>
#include <vector>

constexpr VstInt32 blockFrames = 64;

class Plugin {
public:
    Plugin(PluginLibrary& library, float rate) {
        auto entry = library.entry("VSTPluginMain");
        effect = entry ? entry(RecordingHost::callback()) : nullptr;
        if (!effect) {
            return;
        }
        call(effOpen);
        call(effSetSampleRate, 0, 0, rate);
        call(effSetBlockSize, 0, blockFrames);
        call(effMainsChanged, 0, 1);
    }
    ~Plugin() {
        if (effect) {
            call(effMainsChanged, 0, 0);
            call(effClose);
        }
    }
    VstIntPtr call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, nullptr, opt);
    }
    // Runs the two inputs through in host-sized blocks; the outputs go into the hash.
    void process(std::vector<float> left, std::vector<float> right, BitHash& hash) {
        std::vector<float> outL(left.size()), outR(left.size());
        for (std::size_t i = 0; i < left.size(); i += blockFrames) {
            const auto n =
                static_cast<VstInt32>(std::min<std::size_t>(blockFrames, left.size() - i));
            float* ins[2] = {left.data() + i, right.data() + i};
            float* outs[2] = {outL.data() + i, outR.data() + i};
            effect->processReplacing(effect, ins, outs, n);
        }
        for (std::size_t i = 0; i < left.size(); ++i) {
            hash.add(&outL[i], 1);
            hash.add(&outR[i], 1);
        }
    }

    AEffect* effect = nullptr;
};

// A plug-in opened through the host's loader at a rate, noise run through it in host-sized
// blocks into a hash of its outputs, and the two hash checks the sound identity tests of both
// plug-ins and both formats share. The checks take any runner with Plugin's interface (the
// CLAP tests bring one of their own).
#pragma once

#include "pluginlibrary.h"
#include "recordinghost.h"
#include "tests/effect/soundfingerprint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ios>
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
    bool ok() const { return effect != nullptr; }
    void loadProgram(int program) { call(effSetProgram, 0, program); }
    void setParameter(int index, float value) { effect->setParameter(effect, index, value); }
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

// Each case's program and Stereo setting at its rate, over the fingerprint's stereo noise.
template <class Runner = Plugin, class Library>
void expectProgramHashes(Library& library, const std::vector<ProgramHash>& cases) {
    const std::vector<float> left = noise(3000, 1.5f, 8), right = noise(3000, 0.8f, 9);
    for (const ProgramHash& c : cases) {
        Runner plugin(library, c.rate);
        ASSERT_TRUE(plugin.ok());
        plugin.loadProgram(c.program);
        plugin.setParameter(8, c.stereo);
        BitHash hash;
        plugin.process(left, right, hash);
        EXPECT_EQ(hash.value, c.hash) << "program " << c.program << " stereo " << c.stereo << " at "
                                      << c.rate << ": 0x" << std::hex << hash.value;
    }
}

// Every parameter through its range from a fresh instance at 44.1 kHz (in stereo when asked):
// each value goes through the coefficient rules, where two C libraries are most likely to part.
template <class Runner = Plugin, class Library>
void expectParameterSweepHashes(Library& library, const std::uint64_t (&expected)[10],
                                bool stereo) {
    const float values[] = {0.0f,  0.03f, 0.17f, 0.25f, 0.333f, 0.5f,
                            0.61f, 0.75f, 0.9f,  0.99f, 1.0f};
    for (int index = 0; index < 10; ++index) {
        Runner plugin(library, 44100.0f);
        ASSERT_TRUE(plugin.ok());
        if (stereo) {
            plugin.setParameter(8, 1.0f);
        }
        BitHash hash;
        unsigned seed = 20;
        for (float value : values) {
            plugin.setParameter(index, value);
            plugin.process(noise(256, 1.2f, seed), noise(256, 0.7f, seed + 1), hash);
            seed += 2;
        }
        EXPECT_EQ(hash.value, expected[index])
            << "parameter " << index << ": 0x" << std::hex << hash.value;
    }
}

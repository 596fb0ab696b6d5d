// Guards against a signal chain whose stages, order, rounding or buffer handling change the sound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <limits>
#include <numbers>
#include <string>

#include "effectprobe.h"
#include "signalchain.h"

namespace {

// The first output samples, rounded to four significant digits.
std::vector<std::string> digits(const std::vector<float>& v, std::size_t n) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < n; ++i) {
        char text[32];
        std::snprintf(text, sizeof text, "%.4g", static_cast<double>(v[i]));
        out.emplace_back(text);
    }
    return out;
}

Stereo impulse(std::size_t n, float value = 1.0f) {
    Stereo s{std::vector<float>(n), std::vector<float>(n)};
    s.l[0] = value;
    return s;
}

using Strings = std::vector<std::string>;

TEST(SignalChain, ImpulseAndStepResponsesAfterConstruction) {
    {
        EffectProbe g;
        const Stereo out = process(g, impulse(8));
        EXPECT_EQ(digits(out.l, 8), (Strings{"0", "0.01799", "0.1116", "0.1511", "0.1641", "0.1673",
                                             "0.1647", "0.1575"}));
        EXPECT_TRUE(sameBits(out.l, out.r));
    }
    {
        EffectProbe g;
        const Stereo out = process(g, {std::vector<float>(6, 0.1f), std::vector<float>(6, 0.1f)});
        EXPECT_EQ(digits(out.l, 6),
                  (Strings{"0", "0.004858", "0.04141", "0.08582", "0.1192", "0.1415"}));
    }
    {
        EffectProbe g;
        g.setParameter(Gravelix::kStereo, 1.0f);
        const Stereo out = process(g, impulse(8));
        EXPECT_EQ(digits(out.l, 4), (Strings{"0", "0.0273", "0.1497", "0.1867"}));
        EXPECT_EQ(out.r, std::vector<float>(8, 0.0f));
    }
    {
        EffectProbe g;
        g.setParameter(Gravelix::kPickup, 0.0f);
        const Stereo out = process(g, impulse(8));
        EXPECT_EQ(digits(out.l, 3), (Strings{"0.0511", "0.2203", "0.1631"}));
    }
}

// The hash of the output bits, left and right interleaved.
std::uint64_t hashBits(const Stereo& s) {
    BitHash hash;
    for (std::size_t i = 0; i < s.l.size(); ++i) {
        hash.add(&s.l[i], 1);
        hash.add(&s.r[i], 1);
    }
    return hash.value;
}

// Four significant digits miss a step done in float instead of double; these hashes come from
// a separate model of the rules that rounds every float and double step as the effect must.
TEST(SignalChain, EveryProgramIsBitExact) {
    std::vector<ProgramHash> cases(std::begin(kEveryProgramAt44k), std::end(kEveryProgramAt44k));
    cases.insert(cases.end(), {{1, 1.0f, 48000.0f, 0x6116913c5a7b5ff5u},
                               {0, 0.0f, 96000.0f, 0x12b79fedf98c57e9u}});
    const Stereo in{noise(3000, 1.5f, 8), noise(3000, 0.8f, 9)};
    for (const ProgramHash& c : cases) {
        EffectProbe g;
        g.setSampleRate(c.rate);
        g.setProgram(c.program);
        g.setParameter(Gravelix::kStereo, c.stereo);
        EXPECT_EQ(hashBits(process(g, in)), c.hash)
            << "program " << c.program << " stereo " << c.stereo << " at " << c.rate;
    }
}

TEST(SignalChain, MonoIgnoresInputOrderAndInPlaceBuffersWork) {
    const Stereo in{noise(4000, 0.8f, 3), noise(4000, 0.8f, 7)};
    EffectProbe a, b;
    const Stereo out = process(a, in);
    const Stereo swapped = process(b, {in.r, in.l});
    EXPECT_TRUE(sameBits(out.l, out.r));
    EXPECT_TRUE(sameBits(out.l, swapped.l));

    for (float stereo : {0.0f, 1.0f}) {
        EffectProbe separate, inPlace;
        separate.setParameter(Gravelix::kStereo, stereo);
        inPlace.setParameter(Gravelix::kStereo, stereo);
        const Stereo expected = process(separate, in);
        Stereo buffers = in;
        float* io[2] = {buffers.l.data(), buffers.r.data()};
        inPlace.processReplacing(io, io, static_cast<VstInt32>(in.l.size()));
        EXPECT_TRUE(sameBits(buffers.l, expected.l));
        EXPECT_TRUE(sameBits(buffers.r, expected.r));
    }
}

TEST(SignalChain, EffectOffPassesThroughAndKeepsState) {
    // Odd values included: the off paths must not flush subnormals or touch infinities.
    Stereo in{noise(256, 2.0f, 5), noise(256, 2.0f, 9)};
    in.l[0] = in.r[1] = std::numeric_limits<float>::denorm_min();
    in.r[0] = in.l[1] = 1e-39f;
    in.l[2] = std::numeric_limits<float>::infinity();
    EffectProbe g;
    process(g, {noise(500, 1.0f), noise(500, 1.0f, 2)}); // some state to keep
    const auto state = g.state();
    g.setParameter(Gravelix::kEffect, 0.0f);
    g.setParameter(Gravelix::kStereo, 1.0f);
    const Stereo through = process(g, in);
    EXPECT_TRUE(sameBits(through.l, in.l));
    EXPECT_TRUE(sameBits(through.r, in.r));
    g.setParameter(Gravelix::kStereo, 0.0f);
    const Stereo averaged = process(g, in);
    std::vector<float> expected(in.l.size());
    for (std::size_t i = 0; i < in.l.size(); ++i) {
        expected[i] = (in.r[i] + in.l[i]) * 0.5f;
    }
    EXPECT_TRUE(sameBits(averaged.l, expected) && sameBits(averaged.r, expected));
    EXPECT_TRUE(sameBits(g.state(), state));

    float sentinel = 7.0f;
    float* outs[2] = {&sentinel, &sentinel};
    float* ins[2] = {in.l.data(), in.r.data()};
    g.setParameter(Gravelix::kEffect, 1.0f);
    g.processReplacing(ins, outs, 0);
    g.processReplacing(ins, outs, -5);
    EXPECT_EQ(sentinel, 7.0f);
    EXPECT_TRUE(sameBits(g.state(), state));
}

TEST(SignalChain, RightChannelResumesAfterMono) {
    const Stereo before{noise(1500, 0.5f, 11), noise(1500, 0.5f, 12)};
    const Stereo during{noise(1500, 0.5f, 13), noise(1500, 0.5f, 14)};
    const Stereo after{noise(1500, 0.5f, 15), noise(1500, 0.5f, 16)};
    EffectProbe g, reference;
    g.setParameter(Gravelix::kStereo, 1.0f);
    reference.setParameter(Gravelix::kStereo, 1.0f);
    process(g, before);
    g.setParameter(Gravelix::kStereo, 0.0f);
    process(g, during);
    g.setParameter(Gravelix::kStereo, 1.0f);
    // The right channel neither moved nor was cleared while mono ran.
    process(reference, before);
    EXPECT_TRUE(sameBits(process(g, after).r, process(reference, after).r));
}

TEST(SignalChain, OutputStaysBelowThreeTenthsOfOutputGain) {
    for (float stereo : {0.0f, 1.0f}) {
        EffectProbe g;
        g.setParameter(Gravelix::kOutput, 1.0f);
        g.setParameter(Gravelix::kStereo, stereo);
        ASSERT_EQ(g.outputGain, 10.0f);
        std::vector<float> sine(44100);
        for (std::size_t i = 0; i < sine.size(); ++i) {
            sine[i] =
                100.0f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 100.0 * i / 44100.0));
        }
        Stereo out = process(g, {sine, sine});
        const Stereo extreme = process(g, {noise(2000, 3e38f), noise(2000, 1e6f, 4)});
        out.l.insert(out.l.end(), extreme.l.begin(), extreme.l.end());
        out.r.insert(out.r.end(), extreme.r.begin(), extreme.r.end());
        for (std::size_t i = 0; i < out.l.size(); ++i) {
            ASSERT_LT(std::fabs(out.l[i]), 3.0f) << i;
            ASSERT_LT(std::fabs(out.r[i]), 3.0f) << i;
        }
    }
}

} // namespace

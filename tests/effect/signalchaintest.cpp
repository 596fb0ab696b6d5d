// Guards against a signal chain whose stages, order, rounding or buffer handling change the sound.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
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

TEST(SignalChainPrimitives, StepsAndBounds) {
    float x = 2.0f, s = 1.0f;
    highPassStep(x, 0.5f, -0.25f, s); // y = 1 + 0.25
    EXPECT_EQ(s, 1.25f);
    EXPECT_EQ(x, 0.75f);
    float x1 = 1.0f, x2 = 1.0f;
    s = 0.0f;
    pairedLowPassStep(x1, x2, 0.5f, -0.5f, s);
    EXPECT_EQ(x1, 0.5f);
    EXPECT_EQ(x2, 0.75f) << "second point continues from the first point's state";
    float out = 0.0f, sMid = 4.0f, sPrev = 8.0f;
    decimateStep(16.0f, 32.0f, out, sMid, sPrev);
    EXPECT_EQ(out, 4.0f + 4.0f + 1.0f);
    EXPECT_EQ(sMid, 16.0f);
    EXPECT_EQ(sPrev, 32.0f);
    float low = 0.0f, band = 0.0f, in = 1.0f;
    svfLowPassStep(in, 0.5f, 1.0f, low, band);
    EXPECT_EQ(in, 0.0f) << "the low output lags the input by one sample";
    EXPECT_EQ(band, 0.5f);
    float c = 5.0f;
    clampStep(c, 3.25f, -2.5f);
    EXPECT_EQ(c, 3.25f);
    for (float v : {1e-3f, 1.0f, 52.0f, 1e6f}) {
        float d = v, e = -v;
        diodeCurve(d, 22.63f);
        diodeCurve(e, 22.63f);
        EXPECT_LT(d, 0.3f);
        EXPECT_EQ(e, -d);
    }
}

TEST(SignalChainPrimitives, WideningWhereTheStepsSayDouble) {
    // Each computed once more as written; the all-float variants differ in the last bit for
    // many of these values.
    const std::vector<float> xs = noise(2000, 60.0f, 17);
    for (std::size_t i = 1; i < xs.size(); ++i) {
        const float x = xs[i], y = xs[i - 1], k = 0.35f + static_cast<float>(i % 23);
        float mid = 0.0f, prev = y;
        midpointStep(mid, x, prev);
        ASSERT_EQ(mid, static_cast<float>(0.5 * y + 0.5 * x));
        float d = x;
        diodeCurve(d, k);
        const double den = (k + 1.4) * std::fabs(x) + 1.0 + static_cast<double>(x * x);
        ASSERT_EQ(d, static_cast<float>(0.3 * static_cast<double>((k + std::fabs(x)) * x) / den));
        float out = 0.0f, sMid = y, sPrev = k;
        decimateStep(x, 0.0f, out, sMid, sPrev);
        ASSERT_EQ(out, static_cast<float>(0.25 * x + 0.5 * static_cast<double>(k) + 0.25 * y));
    }
}

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
    const float odd[] = {1.0f,
                         -0.0f,
                         std::numeric_limits<float>::denorm_min(),
                         1e-39f,
                         std::numeric_limits<float>::infinity(),
                         3e38f};
    Stereo in{noise(256, 2.0f, 5), noise(256, 2.0f, 9)};
    for (std::size_t i = 0; i < std::size(odd); ++i) {
        in.l[i] = odd[i];
        in.r[i] = odd[std::size(odd) - 1 - i];
    }
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
    for (std::size_t i = 0; i < in.l.size(); ++i) {
        const float expected = (in.r[i] + in.l[i]) * 0.5f;
        EXPECT_EQ(std::memcmp(&averaged.l[i], &expected, 4), 0) << i;
        EXPECT_EQ(std::memcmp(&averaged.r[i], &expected, 4), 0) << i;
    }
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
    const std::size_t n = 1500;
    const Stereo in{noise(3 * n, 0.5f, 11), noise(3 * n, 0.5f, 13)};
    EffectProbe g;
    g.setParameter(Gravelix::kStereo, 1.0f);
    const Stereo first =
        process(g, {{in.l.begin(), in.l.begin() + n}, {in.r.begin(), in.r.begin() + n}});
    g.setParameter(Gravelix::kStereo, 0.0f);
    process(g,
            {{in.l.begin() + n, in.l.begin() + 2 * n}, {in.r.begin() + n, in.r.begin() + 2 * n}});
    g.setParameter(Gravelix::kStereo, 1.0f);
    const Stereo last =
        process(g, {{in.l.begin() + 2 * n, in.l.end()}, {in.r.begin() + 2 * n, in.r.end()}});

    // The right channel neither moved nor was cleared while mono ran.
    EffectProbe reference;
    reference.setParameter(Gravelix::kStereo, 1.0f);
    std::vector<float> right(in.r.begin(), in.r.begin() + n);
    right.insert(right.end(), in.r.begin() + 2 * n, in.r.end());
    const Stereo expected = process(reference, {right, right});
    EXPECT_TRUE(sameBits(first.r, {expected.r.begin(), expected.r.begin() + n}));
    EXPECT_TRUE(sameBits(last.r, {expected.r.begin() + n, expected.r.end()}));
}

TEST(SignalChain, OutputStaysBelowThreeTenthsOfOutputGain) {
    for (float stereo : {0.0f, 1.0f}) {
        EffectProbe g;
        g.setParameter(Gravelix::kOutput, 1.0f);
        g.setParameter(Gravelix::kStereo, stereo);
        ASSERT_EQ(g.outputGain, 10.0f);
        std::vector<float> sine(44100);
        for (std::size_t i = 0; i < sine.size(); ++i) {
            sine[i] = 100.0f * static_cast<float>(std::sin(2.0 * M_PI * 100.0 * i / 44100.0));
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

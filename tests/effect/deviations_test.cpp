// Guards against stuck NaN, subnormal stalls and a pedal that sounds different at other rates.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "coefficients.h"
#include "effectprobe.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(BadInput, NaNOrInfinityActsAsSilenceAndHugeValuesAsTheLimit) {
    const Stereo clean{noise(2000, 0.7f, 21), noise(2000, 0.7f, 22)};
    for (float stereo : {0.0f, 1.0f}) {
        for (auto [bad, stand_in] : {std::pair{std::nanf(""), 0.0f},
                                     {kInf, 0.0f},
                                     {-kInf, 0.0f},
                                     {5e37f, 1e6f},
                                     {-2e6f, -1e6f}}) {
            Stereo dirty = clean, reference = clean;
            dirty.l[100] = bad;
            dirty.r[700] = bad;
            reference.l[100] = stand_in;
            reference.r[700] = stand_in;
            EffectProbe a, b;
            a.setParameter(Gravelix::kStereo, stereo);
            b.setParameter(Gravelix::kStereo, stereo);
            const Stereo out = process(a, dirty);
            const Stereo expected = process(b, reference);
            EXPECT_TRUE(sameBits(out.l, expected.l) && sameBits(out.r, expected.r))
                << bad << " stereo " << stereo;
            for (float s : a.state()) {
                ASSERT_TRUE(std::isfinite(s));
            }
        }
    }
}

#if defined(__x86_64__)
TEST(FloatControl, CallerStateRestoredAndSubnormalsFlushedWhileProcessing) {
    const unsigned original = _mm_getcsr();
    for (unsigned caller :
         {original & ~0x8040u, original | 0x8040u, (original & ~0x8040u) | 0x0040u}) {
        for (float effect : {1.0f, 0.0f}) {
            EffectProbe g;
            g.setParameter(Gravelix::kEffect, effect);
            _mm_setcsr(caller);
            process(g, {noise(300, 1.0f), noise(300, 1.0f)});
            const unsigned after = _mm_getcsr();
            _mm_setcsr(original);
            EXPECT_EQ(after, caller);
        }
    }

    // A loud note, then silence: without flushing, the states decay into subnormals and stay.
    EffectProbe g;
    g.setParameter(Gravelix::kStereo, 1.0f);
    process(g, {noise(4410, 1.0f), noise(4410, 1.0f, 8)});
    const Stereo tail = process(g, {std::vector<float>(441000), std::vector<float>(441000)});
    for (float s : g.state()) {
        EXPECT_TRUE(s == 0.0f || std::fpclassify(s) == FP_NORMAL) << s;
    }
    EXPECT_EQ(tail.l.back(), 0.0f);
}
#endif

TEST(SampleRate, RateDependentValuesFollowTheHostRate) {
    EffectProbe g;
    g.setParameter(Gravelix::kHighCut, 0.3f); // Low Cut keeps its start-up pair
    AEffect* e = g.getAeffect();
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(g.processRate, 48000.0f);
    EXPECT_NEAR(g.pickupCoeff, 12566.0 / 48000.0, 1e-7);
    EXPECT_EQ(g.couplingB, -expf(-150.0f / 48000.0f));
    EXPECT_EQ(g.smoothA, 1.0f - expf(-50000.0f / 48000.0f));
    EXPECT_EQ(g.lowCutB, -expf(-88.0f / 48000.0f));
    EXPECT_EQ(g.highCutB, highCutRule(0.3f, 48000.0f).b);
    EXPECT_EQ(g.highCutA, highCutRule(0.3f, 48000.0f).a);
    EXPECT_EQ(g.gainHpB, distortionRule(0.6f, 48000.0f).gainHpB);
    g.setParameter(Gravelix::kLowCut, 0.5f);
    EXPECT_NEAR(-std::log(-static_cast<double>(g.lowCutB)) * 48000.0, 879.0, 0.01);

    // Back at 44100 everything matches an instance that never left it.
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    EffectProbe reference;
    reference.setParameter(Gravelix::kHighCut, 0.3f);
    reference.setParameter(Gravelix::kLowCut, 0.5f);
    EXPECT_TRUE(sameBits(g.coefficients(), reference.coefficients()));
    EXPECT_TRUE(sameBits(process(g, {noise(1000, 1.0f), noise(1000, 1.0f)}).l,
                         process(reference, {noise(1000, 1.0f), noise(1000, 1.0f)}).l));
}

TEST(SampleRate, OutOfRangeOrInvalidRatesLeaveAStableEffect) {
    EffectProbe g;
    const auto before = g.coefficients();
    for (float bad : {std::nanf(""), 0.0f, -48000.0f, kInf}) {
        g.setSampleRate(bad);
    }
    EXPECT_TRUE(sameBits(g.coefficients(), before));
    EXPECT_EQ(g.getSampleRate(), 44100.0f);

    for (auto [rate, clamped] : {std::pair{8000.0f, 22050.0f}, {1e7f, 384000.0f}}) {
        EffectProbe h;
        h.setParameter(Gravelix::kOutput, 1.0f);
        h.setSampleRate(rate);
        EXPECT_EQ(h.processRate, clamped);
        const Stereo out = process(h, {noise(44100, 1.0f), noise(44100, 1.0f, 3)});
        for (std::size_t i = 0; i < out.l.size(); ++i) {
            ASSERT_LT(std::fabs(out.l[i]), 3.0f) << rate << " at " << i;
        }
    }
}

} // namespace

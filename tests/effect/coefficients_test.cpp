// Guards against coefficient rules that drift from their constants, precision or start-up values.
#include <gtest/gtest.h>

#include <cmath>

#include "coefficients.h"
#include "effectprobe.h"

namespace {

constexpr float kRate = 44100.0f;

// Corner in rad/s of a one-pole pair (b = -p).
double corner(float b, float rate = kRate) {
    return -std::log(-static_cast<double>(b)) * rate;
}

void expectNear4(double actual, double expected) {
    EXPECT_NEAR(actual, expected, std::fabs(expected) * 6e-4) << "expected " << expected;
}

TEST(Coefficients, ValuesAtTellingPoints) {
    struct Row {
        float v;
        double output, input, pot, opamp, gainHp, clipLow, clipHigh, knee, highCut, lowCut;
    };
    const Row rows[] = {
        {0.0f, 0.03162, 0.1, 500000, 2.981, 39.65, -40, 52, 0.3536, 95049, 87.9},
        {0.5f, 0.5623, 1, 87675, 11.83, 216.6, -2.5, 3.25, 2.828, 26788, 879},
        {0.6f, 1.0, 1.585, 64775, 15.39, 288.0, -1.436, 1.867, 4.287, 20794, 1393},
        {1.0f, 10, 10, -54.71, 216.3, 4307, -0.15625, 0.203125, 22.63, 7550, 8790},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.v);
        expectNear4(outputGainRule(r.v), r.output);
        expectNear4(inputGainRule(r.v), r.input);
        const DistortionValues d = distortionRule(r.v, kRate);
        expectNear4(d.potResistance, r.pot);
        expectNear4(d.opampGain, r.opamp);
        expectNear4(corner(d.gainHpB), r.gainHp);
        EXPECT_EQ(d.gainHpA, d.gainHpB + 1.0f);
        EXPECT_EQ(d.bandLpA, 1.0f);
        const ClipBounds c = opampClippingRule(r.v);
        expectNear4(c.clipLow, r.clipLow);
        expectNear4(c.clipHigh, r.clipHigh);
        expectNear4(diodeKneeRule(r.v), r.knee);
        expectNear4(corner(highCutRule(r.v, kRate).b), r.highCut);
        expectNear4(corner(lowCutRule(r.v, kRate).b), r.lowCut);
    }
}

TEST(Coefficients, ExactEdgeValues) {
    EXPECT_EQ(distortionRule(0.0f, kRate).potResistance, 500000.0f);
    EXPECT_EQ(distortionRule(0.0f, kRate).opampGain, 1000000.0f / 504700.0f + 1.0f);
    EXPECT_LT(distortionRule(1.0f, kRate).potResistance, 0.0f) << "no lower bound";
    EXPECT_EQ(opampClippingRule(0.5f).clipLow, -2.5f);
    EXPECT_EQ(opampClippingRule(0.5f).clipHigh, 3.25f);
    EXPECT_EQ(opampClippingRule(1.0f).clipLow, -0.15625f);
    EXPECT_EQ(opampClippingRule(1.0f).clipHigh, 0.203125f);
    for (int i = 0; i <= 100; ++i) {
        EXPECT_EQ(distortionRule(static_cast<float>(i) / 100.0f, kRate).bandLpA, 1.0f) << i;
    }
}

TEST(Coefficients, StartUpValues) {
    EffectProbe g;
    EXPECT_EQ(g.processRate, 44100.0f);
    EXPECT_NEAR(g.pickupCoeff, 0.28494, 1e-5);
    EXPECT_EQ(g.highCutA, 1.0f);
    EXPECT_NEAR(g.highCutB, -4.41e-10, 0.01e-10);
    EXPECT_NEAR(g.lowCutB, -0.998007, 1e-6);
    EXPECT_EQ(g.lowCutA, 1.0f - expf(-88.0f / 44100.0f)) << "fixed pair, a = 1 - p";
    EXPECT_EQ(g.couplingB, -expf(-150.0f / 44100.0f));
    EXPECT_EQ(g.inputGain, 1.0f);
    EXPECT_EQ(g.clipHigh, 3.25f);
    EXPECT_EQ(g.opampGain, distortionRule(0.6f, 44100.0f).opampGain);

    // Setting Low Cut / High Cut replaces the fixed pairs by their rules.
    g.setParameter(Gravelix::kLowCut, 0.0f);
    g.setParameter(Gravelix::kHighCut, 0.0f);
    EXPECT_EQ(g.lowCutB, lowCutRule(0.0f, 44100.0f).b);
    EXPECT_EQ(g.highCutB, highCutRule(0.0f, 44100.0f).b);
    EXPECT_NE(g.highCutA, 1.0f);
}

} // namespace

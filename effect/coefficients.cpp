#include "coefficients.h"

#include <cmath>
#include <math.h>

float outputGainRule(float v) {
    return static_cast<float>(0.1 * std::pow(10.0, 2.5 * static_cast<double>(v) - 0.5));
}

float inputGainRule(float v) {
    return powf(10.0f, 2.0f * v - 1.0f);
}

DistortionValues distortionRule(float v, float processRate) {
    DistortionValues d{};
    d.potResistance =
        static_cast<float>(300000.0 * std::log10(1.0 / (0.98042 * static_cast<double>(v) + 0.02)));
    // Only the top is bounded; near v = 1 the modelled pot goes slightly negative.
    if (d.potResistance > 500000.0f) {
        d.potResistance = 500000.0f;
    }
    d.opampGain = 1000000.0f / (d.potResistance + 4700.0f) + 1.0f;

    const double t = std::exp(-6283.0 / (0.000314 * static_cast<double>(d.potResistance) + 1.4758) /
                              static_cast<double>(processRate));
    d.gainHpB = static_cast<float>(-t);
    d.gainHpA = d.gainHpB + 1.0f;

    // Not divided by the rate: the pole stays below 3e-13, so this stage passes the signal.
    const double u = std::exp(-6292.6 / static_cast<double>(d.opampGain));
    d.bandLpB = static_cast<float>(-u);
    d.bandLpA = d.bandLpB + 1.0f;
    return d;
}

ClipBounds opampClippingRule(float v) {
    const float t = powf(2.0f, 4.0f - 8.0f * v);
    ClipBounds c{};
    c.clipLow = static_cast<float>(-2.5 * static_cast<double>(t));
    c.clipHigh = static_cast<float>(-1.3 * static_cast<double>(c.clipLow));
    return c;
}

float diodeKneeRule(float v) {
    return static_cast<float>(std::pow(2.0, static_cast<double>(6.0f * v) - 1.5));
}

OnePolePair highCutRule(float v, float processRate) {
    const double w = 7550.0 * std::pow(10.0, 1.1 - 1.1 * static_cast<double>(v));
    OnePolePair p{};
    p.b = static_cast<float>(-std::exp(-w / static_cast<double>(processRate)));
    p.a = p.b + 1.0f;
    return p;
}

OnePolePair lowCutRule(float v, float processRate) {
    const float w = 879.0f * powf(10.0f, 2.0f * v - 1.0f);
    OnePolePair p{};
    p.b = -expf(-w / processRate);
    p.a = p.b + 1.0f;
    return p;
}

OnePolePair startUpPair(float corner, float processRate) {
    const float p = expf(-corner / processRate);
    return OnePolePair{1.0f - p, -p};
}

float pickupCoeffRule(float processRate) {
    return 12566.0f / processRate;
}

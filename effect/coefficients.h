#pragma once

// The rules that turn a normalised parameter value (0..1) and the processing rate into the
// numbers the signal chain multiplies with. Each rule keeps its own mix of float and double
// arithmetic and its order of conversion: the sound is defined down to the last bit by them.
// None of this runs on the audio thread.

// A one-pole coefficient pair: the chain computes y = a*x - b*s, i.e. a = 1 - p and b = -p.
struct OnePolePair {
    float a;
    float b;
};

struct DistortionValues {
    float potResistance;
    float opampGain;
    float gainHpA;
    float gainHpB;
    float bandLpA;
    float bandLpB;
};

struct ClipBounds {
    float clipHigh;
    float clipLow;
};

// Corners (rad/s) of the pairs that start-up sets, whatever the parameters say.
inline constexpr float kStartLowCutCorner = 88.0f;
inline constexpr float kCouplingCorner = 150.0f;
inline constexpr float kSmoothCorner = 50000.0f;
inline constexpr float kStartHighCutCorner = 950000.0f;

float outputGainRule(float v);
float inputGainRule(float v);
DistortionValues distortionRule(float v, float processRate);
ClipBounds opampClippingRule(float v);
float diodeKneeRule(float v);
OnePolePair highCutRule(float v, float processRate);
OnePolePair lowCutRule(float v, float processRate);

// The fixed pairs and the pickup filter's coefficient, set at start-up.
OnePolePair startUpPair(float corner, float processRate);
float pickupCoeffRule(float processRate);

#pragma once

// One program: the ten normalised parameter values and a name. Pickup (parameter 7) sits
// between Diode Clipping and High Cut; programs are applied in this field order.
struct GravelixProgram {
    float output = 0.6f;
    float distortion = 0.6f;
    float input = 0.5f;
    float opampClipping = 0.5f;
    float diodeClipping = 0.5f;
    float pickup = 1.0f;
    float highCut = 0.0f;
    float lowCut = 0.0f;
    float stereo = 0.0f;
    float effect = 1.0f;
    char name[24] = "Vorn";
};

#pragma once

// One program: the ten normalised parameter values and a name. The fields follow the order in
// which a program applies them (Pickup between Diode Clipping and High Cut); the parameter table
// checks that its rows do too.
struct GravelixProgram {
    float output;
    float distortion;
    float input;
    float opampClipping;
    float diodeClipping;
    float pickup;
    float highCut;
    float lowCut;
    float stereo;
    float effect;
    char name[24];
};

// The factory programs. Every field is named, and a missing one is an error, so a new parameter
// cannot silently default to 0 here.
#pragma GCC diagnostic push
#pragma GCC diagnostic error "-Wmissing-field-initializers"
inline constexpr GravelixProgram kFactoryPrograms[] = {
    {.output = 0.6f,
     .distortion = 0.6f,
     .input = 0.5f,
     .opampClipping = 0.5f,
     .diodeClipping = 0.5f,
     .pickup = 1.0f,
     .highCut = 0.0f,
     .lowCut = 0.0f,
     .stereo = 0.0f,
     .effect = 1.0f,
     .name = "Vorn"},
    {.output = 0.5f,
     .distortion = 0.8f,
     .input = 0.8f,
     .opampClipping = 1.0f,
     .diodeClipping = 1.0f,
     .pickup = 1.0f,
     .highCut = 0.6f,
     .lowCut = 0.4f,
     .stereo = 0.0f,
     .effect = 1.0f,
     .name = "Hi-Gain"},
    {.output = 0.65f,
     .distortion = 0.4f,
     .input = 0.5f,
     .opampClipping = 0.0f,
     .diodeClipping = 0.5f,
     .pickup = 1.0f,
     .highCut = 0.8f,
     .lowCut = 0.5f,
     .stereo = 0.0f,
     .effect = 1.0f,
     .name = "TS"},
    {.output = 0.8f,
     .distortion = 0.8f,
     .input = 0.5f,
     .opampClipping = 1.0f,
     .diodeClipping = 0.0f,
     .pickup = 0.0f,
     .highCut = 0.0f,
     .lowCut = 0.4f,
     .stereo = 0.0f,
     .effect = 1.0f,
     .name = "Gritty"},
};
#pragma GCC diagnostic pop

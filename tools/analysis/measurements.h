// The five measurements of a plug-in's sound, each from test signals played through a driver.
// Sine levels are in dBFS of the peak: 0 dBFS is a sine of amplitude 1.
#pragma once

#include "plugindriver.h"

#include <array>
#include <vector>

namespace gravelix::analysis {

// Levels below this are written as this (silence, or a component the arithmetic cannot see).
constexpr double kFloorDb = -200.0;

struct ResponsePoint {
    double hz = 0.0, gainDb = 0.0, phaseDeg = 0.0;
};
struct ResponseResult {
    std::vector<ResponsePoint> points; // log-spaced, 20 Hz up to 20 kHz or 0.95 x Nyquist
    double gainAt1kHzDb = 0.0;
};

struct HarmonicsRow {
    double inputDbfs = 0.0;
    double thdPercent = 0.0;            // every harmonic below Nyquist against the fundamental
    std::array<double, 8> harmonicDb{}; // harmonics 2..9 re the fundamental; NaN above Nyquist
};
struct HarmonicsResult {
    std::vector<HarmonicsRow> rows; // -40 to 0 dBFS in 2 dB steps
    double thdAtMinus6Percent = 0.0;
    double binHz = 1.0;
    std::vector<float>
        spectrumDb; // the output at -6 dBFS, dB re the fundamental, bin 0 up to Nyquist
};

struct LevelsResult {
    std::vector<std::array<double, 2>> curve;    // input dBFS, output dBFS (RMS, sine-referenced)
    std::vector<double> scopeInput, scopeOutput; // one period of the 1 kHz sine at -6 dBFS
};

struct AliasRow {
    double toneHz = 0.0, worstAliasDb = kFloorDb, aliasHz = 0.0, levelDbfs = -6.0;
};
struct Spectrogram {
    int frames = 0, bins = 0;
    double hopSeconds = 0.0, binHz = 0.0, lowHz = 0.0, highHz = 0.0;
    std::vector<float> db; // frames x bins, dB re the loudest cell
};
struct AliasingResult {
    std::vector<AliasRow> rows; // every tone at the first level, then at the next...
    std::vector<double> levelsDbfs;
    double worstAliasDb = kFloorDb;
    Spectrogram sweep;
};

struct LatencyResult {
    int measuredFrames = 0, reportedFrames = 0;
};

ResponseResult measureResponse(PluginDriver& driver);
HarmonicsResult measureHarmonics(PluginDriver& driver);
LevelsResult measureLevels(PluginDriver& driver);
// The tones at each of levelsDbfs (dBFS of the peak); the sweep at -6 dBFS.
AliasingResult measureAliasing(PluginDriver& driver, const std::vector<double>& levelsDbfs);
LatencyResult measureLatency(PluginDriver& driver);

} // namespace gravelix::analysis

// Where the editor puts its controls, and how a value maps onto a picture. The panels
// print labels and scales around these rectangles, so both must agree with the editor.
#pragma once

#include <cmath>
#include <numbers>

namespace Artwork {

struct Box {
    int left, top, right, bottom;
    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr double centreX() const { return (left + right) * 0.5; }
    constexpr double centreY() const { return (top + bottom) * 0.5; }
};

inline constexpr int kPanelWidth = 270;
inline constexpr int kPanelHeight = 475;
inline constexpr int kBackWidth = 273;
inline constexpr int kBackHeight = 476;

inline constexpr Box kOutputKnob{16, 29, 135, 148};
inline constexpr Box kDistortionKnob{133, 29, 252, 148};
inline constexpr Box kInputFader{68, 55, 100, 157};
inline constexpr Box kOpampFader{68, 192, 100, 294};
inline constexpr Box kDiodeFader{173, 192, 205, 294};
inline constexpr Box kHighCutFader{68, 328, 100, 430};
inline constexpr Box kLowCutFader{173, 328, 205, 430};
inline constexpr Box kStereoSwitch{161, 54, 211, 78};
inline constexpr Box kPickupSwitch{161, 118, 211, 142};
inline constexpr Box kFootswitch{97, 295, 177, 375};
inline constexpr Box kTweakButton{198, 0, 270, 25};
inline constexpr Box kEffectLed{119, 253, 151, 285};

// The front face is built around one vertical axis through the LED; the footswitch
// picture is drawn off its rectangle's centre to sit on it.
inline constexpr double kPanelAxis = 135.0;

inline constexpr int kKnobSize = 119;
inline constexpr int kKnobFrames = 45;
inline constexpr int kFaderWidth = 32;
inline constexpr int kFaderHeight = 102;
inline constexpr int kFaderFrames = 31;
inline constexpr int kSwitchWidth = 60;
inline constexpr int kSwitchHeight = 24;
inline constexpr int kSwitchVisibleWidth = 50;

// The knob control turns clockwise (y grows downwards) from 3/4 pi over 3/2 pi.
inline constexpr double kKnobStartAngle = 3.0 * std::numbers::pi / 4.0;
inline constexpr double kKnobRangeAngle = 3.0 * std::numbers::pi / 2.0;

inline double knobAngleForValue(double value) {
    return kKnobStartAngle + value * kKnobRangeAngle;
}

// A filmstrip control shows image floor(value * (count - 1)), so image i stands for
// the value i / (count - 1).
inline double knobAngleForFrame(int frame) {
    return knobAngleForValue(static_cast<double>(frame) / (kKnobFrames - 1));
}

inline int frameForValue(double value, int frames) {
    if (!(value > 0.0)) {
        return 0;
    }
    if (value >= 1.0) {
        return frames - 1;
    }
    return static_cast<int>(std::floor(value * (frames - 1)));
}

// Fader handle: its centre runs from kFaderLowest (value 0) up to kFaderHighest (value 1)
// in whole pixels, so the handle's edges stay crisp in every image.
inline constexpr int kFaderHandleHeight = 14;
inline constexpr int kFaderLowest = 92;
inline constexpr int kFaderHighest = 10;

inline int faderHandleCentre(double value) {
    return kFaderLowest - static_cast<int>(std::lround(value * (kFaderLowest - kFaderHighest)));
}

} // namespace Artwork

// Numeric ids of the editor's PNG resources; the same numbers as resources.list. Each has a
// twice-as-large variant at id + Toolkit::CBitmap::kDoubleSizeIdOffset (101..109).
#pragma once

enum GravelixResourceId : int {
    kFrontPanelImageId = 1,   // 270 x 475, front face
    kFootswitchImageId = 2,   // 80 x 160: released, pressed
    kStereoSwitchImageId = 3, // 60 x 48: off, on
    kKnobImageId = 4,         // 119 x 5355: 45 knob positions
    kLedImageId = 5,          // 32 x 64: dark, lit
    kTweakImageId = 6,        // 72 x 50: normal, highlighted
    kFaderImageId = 7,        // 32 x 3162: 31 fader positions
    kBackPanelImageId = 8,    // 273 x 476, settings plate
    kPickupSwitchImageId = 9, // 60 x 48: off, on
};

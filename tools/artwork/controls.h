// The control pictures: filmstrips and two-state images stacked top to bottom.
#pragma once

#include "canvas.h"

namespace Artwork {

// Knob radius on screen, shared with the panel's holes and scale.
inline constexpr double kKnobRadius = 40.0;

Surface drawKnobStrip();
Surface drawFootswitch();
Surface drawSlideSwitch();
Surface drawLed();
Surface drawTweakPlate(const Fonts& fonts);
Surface drawFaderStrip();

} // namespace Artwork

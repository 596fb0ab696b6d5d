// Snapshots of both panels with the controls in place, for looking at the artwork as the
// editor will show it. Never written into the resources.
#pragma once

#include "canvas.h"

#include <string>

namespace Artwork {

struct ImageSet {
    Surface front, footswitch, stereoSwitch, knob, led, tweak, fader, back, pickupSwitch;
};

void writePreviews(const ImageSet& images, const std::string& directory);

} // namespace Artwork

// The two panel backgrounds: the pedal's face and the settings plate behind it.
#pragma once

#include "canvas.h"

namespace Artwork {

Surface drawFrontPanel(const Fonts& fonts);
Surface drawBackPanel(const Fonts& fonts);

} // namespace Artwork

// The two panel backgrounds: the pedal's face and the settings plate behind it.
#pragma once

#include "canvas.h"

namespace Artwork {

// Gravelix HQ's panels are the plain ones with a small "HQ" mark drawn over them last, so the
// plain pictures do not change by a bit.
enum class Edition { Plain, HQ };

Surface drawFrontPanel(const Fonts& fonts, Edition edition = Edition::Plain);
Surface drawBackPanel(const Fonts& fonts, Edition edition = Edition::Plain);

} // namespace Artwork

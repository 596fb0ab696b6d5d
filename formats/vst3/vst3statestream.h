// The pedal's state blob through a host's stream, for the processor and the controller alike.
#pragma once

#include <pluginterfaces/base/ibstream.h>

#include <optional>

#include "pedalstate.h"

namespace vst3state {

// False when the host's stream takes less than the whole blob.
bool write(Steinberg::IBStream* stream, const PedalState& state);
// Reads from where the stream stands (some hosts hand it over unrewound), in as many pieces as
// the host gives. Nothing unless exactly one whole, valid blob was there.
std::optional<PedalState> read(Steinberg::IBStream* stream);

} // namespace vst3state

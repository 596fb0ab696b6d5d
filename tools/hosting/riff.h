// A short plucked-string guitar riff, synthesised so the project needs no recorded audio.
#pragma once

#include <vector>

namespace gravelix::host {

// Mono samples, peak 0.5, the same on every run and machine for the same arguments.
// seconds > 0, sampleRate 8000..384000 (callers check; out-of-range values throw).
std::vector<float> makeRiff(double seconds, int sampleRate);

} // namespace gravelix::host

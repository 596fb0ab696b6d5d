// The host's musical clock: tempo and time signature chosen by the user, and the time info a
// plug-in is given for the block that starts at a frame position.
#pragma once

#include "vsttimeinfo.h"

#include <string>

namespace gravelix::host {

struct TransportSettings {
    double tempo = 120.0; // beats (quarter notes) per minute
    int numerator = 4;
    int denominator = 4;
};

// Throws std::runtime_error with a one-line message naming the bad value.
void checkTransport(const TransportSettings& settings);
// "N/D" with N 1 to 64 and D a power of two 1 to 64; throws std::runtime_error otherwise.
void parseTimeSignature(const std::string& text, TransportSettings& settings);

// The record for the block starting at `position` frames. Fills the sample position and rate,
// the tempo, the quarter-note and bar positions and the time signature, and flags what it
// filled; `playing` and `changed` add the transport bits. No allocation.
void fillTimeInfo(VstTimeInfo& info, const TransportSettings& settings, double sampleRate,
                  long long position, bool playing, bool changed);

} // namespace gravelix::host

#pragma once

// Which pedal this build of the effect is: Gravelix, with the clipping section on two points
// per sample.

#include <cstdint>

#include "signalchain.h"

using PedalChain = SignalChain;
inline constexpr const char* kPedalName = "Gravelix x64";
inline constexpr std::int32_t kPedalUniqueId = ('G' << 24) | ('r' << 16) | ('v' << 8) | 'x';
// The name players see in formats without the VST 2.4 suffix, the reverse-domain id of formats
// that name plug-ins by one (never changed once released), and a one-line description.
inline constexpr const char* kPedalProduct = "Gravelix";
inline constexpr const char* kPedalId = "com.keldwyn.gravelix";
inline constexpr const char* kPedalDescription = "A two-knob guitar distortion pedal";

#pragma once

// Which pedal this build of the effect is: Gravelix HQ, the same pedal with its clipping
// section oversampled and anti-aliased.

#include <cstdint>

#include "hqclippers.h"
#include "signalchain.h"

using PedalChain = BasicSignalChain<HqClippers>;
inline constexpr const char* kPedalName = "Gravelix HQ x64";
inline constexpr std::int32_t kPedalUniqueId = ('G' << 24) | ('r' << 16) | ('v' << 8) | 'H';
// The name players see in formats without the VST 2.4 suffix, the reverse-domain id of formats
// that name plug-ins by one (never changed once released), and a one-line description.
inline constexpr const char* kPedalProduct = "Gravelix HQ";
inline constexpr const char* kPedalId = "com.keldwyn.gravelix-hq";
inline constexpr const char* kPedalDescription =
    "A two-knob guitar distortion pedal, oversampled and anti-aliased";

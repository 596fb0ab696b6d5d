#pragma once

// Which pedal this build of the effect is: Gravelix HQ, the same pedal with its clipping
// section oversampled and anti-aliased.

#include "aeffect.h"
#include "hqclippers.h"
#include "signalchain.h"

using PedalChain = BasicSignalChain<HqClippers>;
inline constexpr const char* kPedalName = "Gravelix HQ x64";
inline constexpr VstInt32 kPedalUniqueId = ('G' << 24) | ('r' << 16) | ('v' << 8) | 'H';

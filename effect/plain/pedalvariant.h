#pragma once

// Which pedal this build of the effect is: Gravelix, with the clipping section on two points
// per sample.

#include "aeffect.h"
#include "signalchain.h"

using PedalChain = SignalChain;
inline constexpr const char* kPedalName = "Gravelix x64";
inline constexpr VstInt32 kPedalUniqueId = ('G' << 24) | ('r' << 16) | ('v' << 8) | 'x';

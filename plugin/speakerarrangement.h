// Speaker records exchanged with hosts that negotiate channel layouts, and the byte-level
// helpers behind AudioEffectX's arrangement tools.
#pragma once

#include "aeffect.h"

struct VstSpeakerProperties {
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    VstInt32 type;
    char future[28];
};
static_assert(sizeof(VstSpeakerProperties) == 112);

// A header followed in the same block by numChannels VstSpeakerProperties; use speakerAt to
// reach them.
struct VstSpeakerArrangement {
    VstInt32 type;
    VstInt32 numChannels;
};
static_assert(sizeof(VstSpeakerArrangement) == 8);

// Bytes of an arrangement block with the given number of channels, or 0 when channels is
// negative or the size does not fit a size_t.
std::size_t arrangementBytes(VstInt32 channels);

// The channel-th speaker record of an arrangement block.
VstSpeakerProperties* speakerAt(VstSpeakerArrangement* arrangement, VstInt32 channel);

// A zeroed block for the given channel count with numChannels set; null on failure.
VstSpeakerArrangement* newArrangement(VstInt32 channels);
// Releases a block from newArrangement; null is allowed.
void deleteArrangement(VstSpeakerArrangement* arrangement);

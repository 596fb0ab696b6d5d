#include "speakerarrangement.h"

#include <cstdlib>
#include <limits>

std::size_t arrangementBytes(VstInt32 channels) {
    if (channels < 0) {
        return 0;
    }
    const auto n = static_cast<std::size_t>(channels);
    constexpr std::size_t per = sizeof(VstSpeakerProperties);
    if (n > (std::numeric_limits<std::size_t>::max() - sizeof(VstSpeakerArrangement)) / per) {
        return 0;
    }
    return sizeof(VstSpeakerArrangement) + per * n;
}

VstSpeakerProperties* speakerAt(VstSpeakerArrangement* arrangement, VstInt32 channel) {
    auto* first = reinterpret_cast<unsigned char*>(arrangement) + sizeof(VstSpeakerArrangement);
    return reinterpret_cast<VstSpeakerProperties*>(first) + channel;
}

VstSpeakerArrangement* newArrangement(VstInt32 channels) {
    const std::size_t bytes = arrangementBytes(channels);
    if (bytes == 0) {
        return nullptr;
    }
    // calloc gives the zeroed block and an alignment good for every field.
    auto* block = static_cast<VstSpeakerArrangement*>(std::calloc(1, bytes));
    if (block) {
        block->numChannels = channels;
    }
    return block;
}

void deleteArrangement(VstSpeakerArrangement* arrangement) {
    std::free(arrangement);
}

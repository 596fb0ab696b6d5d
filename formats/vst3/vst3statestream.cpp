#include "vst3statestream.h"

#include <cstdint>

using namespace Steinberg;

namespace vst3state {

bool write(IBStream* stream, const PedalState& state) {
    if (!stream) {
        return false;
    }
    const PedalState::Bytes bytes = state.encode();
    std::size_t written = 0;
    while (written < bytes.size()) {
        int32 n = 0;
        if (stream->write(const_cast<std::uint8_t*>(bytes.data() + written),
                          static_cast<int32>(bytes.size() - written), &n) != kResultOk ||
            n <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<PedalState> read(IBStream* stream) {
    if (!stream) {
        return std::nullopt;
    }
    // One byte more than a state holds tells a longer (newer or damaged) stream.
    std::uint8_t bytes[PedalState::kBytes + 1];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        int32 n = 0;
        // Some streams answer an error at their end rather than 0 bytes: what came is kept.
        if (stream->read(bytes + got, static_cast<int32>(sizeof bytes - got), &n) != kResultOk ||
            n <= 0) {
            break;
        }
        if (static_cast<std::size_t>(n) > sizeof bytes - got) {
            return std::nullopt; // a host claiming more than it was asked for
        }
        got += static_cast<std::size_t>(n);
    }
    return PedalState::decode(bytes, got);
}

} // namespace vst3state

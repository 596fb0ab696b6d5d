#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "parametertable.h"

// The pedal's saved state for the formats that keep one (a host's project): the current
// program and the ten values. A fixed little-endian layout, versioned: a stream from a newer
// version, or one that is short, long, damaged or out of range, is refused whole so that a
// host keeps the state it had.
struct PedalState {
    static constexpr std::uint32_t kVersion = 1;
    // "GRVX", version, program, ten values by index (IEEE 754 single, their bits).
    static constexpr std::size_t kBytes = 4 + 4 + 4 + 4 * kParameterCount;
    using Bytes = std::array<std::uint8_t, kBytes>;

    std::int32_t program = 0;
    std::array<float, kParameterCount> values{};

    Bytes encode() const;
    // Nothing for anything but a whole stream of this or an earlier version.
    static std::optional<PedalState> decode(const std::uint8_t* data, std::size_t size);
};

#include "pedalstate.h"

#include <bit>
#include <cmath>

#include "gravelixprogram.h"

namespace {

constexpr std::uint8_t kMagic[4] = {'G', 'R', 'V', 'X'};
constexpr std::int32_t kPrograms = static_cast<std::int32_t>(std::size(kFactoryPrograms));

void put(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::uint32_t get(const std::uint8_t* at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    }
    return v;
}

} // namespace

PedalState::Bytes PedalState::encode() const {
    Bytes out{};
    std::copy(std::begin(kMagic), std::end(kMagic), out.begin());
    put(out.data() + 4, kVersion);
    put(out.data() + 8, static_cast<std::uint32_t>(program));
    for (std::size_t i = 0; i < values.size(); ++i) {
        put(out.data() + 12 + 4 * i, std::bit_cast<std::uint32_t>(values[i]));
    }
    return out;
}

std::optional<PedalState> PedalState::decode(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr || size != kBytes ||
        !std::equal(std::begin(kMagic), std::end(kMagic), data)) {
        return std::nullopt;
    }
    const std::uint32_t version = get(data + 4);
    if (version == 0 || version > kVersion) {
        return std::nullopt;
    }
    PedalState state;
    const std::uint32_t program = get(data + 8);
    if (program >= static_cast<std::uint32_t>(kPrograms)) {
        return std::nullopt;
    }
    state.program = static_cast<std::int32_t>(program);
    for (std::size_t i = 0; i < state.values.size(); ++i) {
        const float v = std::bit_cast<float>(get(data + 12 + 4 * i));
        // Only values the pedal itself could have saved.
        if (!(v >= 0.0f && v <= 1.0f)) {
            return std::nullopt;
        }
        state.values[i] = v;
    }
    return state;
}

// A platform's flag word (an event's state, a message's key flags) read as buttons and modifiers.
#pragma once

#include "../cbuttonstate.h"

#include <cstdint>
#include <span>

namespace Toolkit {

// One flag of the platform's word and the button or modifier bit it stands for.
struct FlagButton {
    std::uint32_t flag;
    std::uint32_t button;
};

// The buttons of `table` whose flags are set in `flags`.
constexpr ButtonState buttonsFromFlags(std::uint32_t flags, std::span<const FlagButton> table) {
    ButtonState buttons;
    for (const FlagButton& entry : table) {
        if (flags & entry.flag) {
            buttons |= entry.button;
        }
    }
    return buttons;
}

} // namespace Toolkit

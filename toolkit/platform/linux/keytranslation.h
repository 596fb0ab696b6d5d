// X keysyms to the toolkit's virtual key codes.
#pragma once

#include <cstdint>

namespace Toolkit::LinuxPlatform {

// The virtual key (VKEY_*) of an X keysym, or 0 for keys the toolkit has no code for; such
// keys are not passed to the frame.
std::uint8_t virtualKeyFromKeysym(std::uint32_t keysym);

} // namespace Toolkit::LinuxPlatform

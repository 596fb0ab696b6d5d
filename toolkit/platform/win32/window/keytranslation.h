// Windows key codes to the toolkit's virtual key codes.
#pragma once

#include <cstdint>

namespace Toolkit::Win32Platform {

// The virtual key (VKEY_*) of a Windows key code (VK_*), or 0 for keys the toolkit has no code
// for; such keys are not passed to the frame.
std::uint8_t virtualKeyFromWindowsKey(unsigned windowsKey);

} // namespace Toolkit::Win32Platform

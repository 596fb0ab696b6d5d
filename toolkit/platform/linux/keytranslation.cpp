#include "keytranslation.h"

#include "vstkeycode.h"

namespace Toolkit::LinuxPlatform {

std::uint8_t virtualKeyFromKeysym(std::uint32_t keysym) {
    // Keypad digits, operators and function keys come in contiguous keysym runs.
    if (keysym >= 0xffb0 && keysym <= 0xffb9) { // KP_0 .. KP_9
        return static_cast<std::uint8_t>(VKEY_NUMPAD0 + (keysym - 0xffb0));
    }
    if (keysym >= 0xffaa && keysym <= 0xffaf) { // KP_Multiply, Add, Separator, Subtract, Decimal,
        return static_cast<std::uint8_t>(VKEY_MULTIPLY + (keysym - 0xffaa)); // Divide
    }
    if (keysym >= 0xffbe && keysym <= 0xffc9) { // F1 .. F12
        return static_cast<std::uint8_t>(VKEY_F1 + (keysym - 0xffbe));
    }

    // clang-format off
    switch (keysym) {
    case 0xff08: return VKEY_BACK;      // BackSpace
    case 0xff09: return VKEY_TAB;       // Tab
    case 0xfe20: return VKEY_TAB;       // ISO_Left_Tab (Shift+Tab on some layouts)
    case 0xff0b: return VKEY_CLEAR;     // Clear
    case 0xff0d: return VKEY_RETURN;    // Return
    case 0xff8d: return VKEY_RETURN;    // KP_Enter
    case 0xff13: return VKEY_PAUSE;     // Pause
    case 0xff1b: return VKEY_ESCAPE;    // Escape
    case 0x0020: return VKEY_SPACE;     // space
    case 0xff57: return VKEY_END;       // End
    case 0xff50: return VKEY_HOME;      // Home
    case 0xff51: return VKEY_LEFT;      // Left
    case 0xff52: return VKEY_UP;        // Up
    case 0xff53: return VKEY_RIGHT;     // Right
    case 0xff54: return VKEY_DOWN;      // Down
    case 0xff55: return VKEY_PAGEUP;    // Prior
    case 0xff56: return VKEY_PAGEDOWN;  // Next
    case 0xff60: return VKEY_SELECT;    // Select
    case 0xff61: return VKEY_SNAPSHOT;  // Print
    case 0xff63: return VKEY_INSERT;    // Insert
    case 0xffff: return VKEY_DELETE;    // Delete
    case 0xff6a: return VKEY_HELP;      // Help
    case 0xff7f: return VKEY_NUMLOCK;   // Num_Lock
    case 0xff14: return VKEY_SCROLL;    // Scroll_Lock
    case 0xffe1: case 0xffe2: return VKEY_SHIFT;   // Shift_L, Shift_R
    case 0xffe3: case 0xffe4: return VKEY_CONTROL; // Control_L, Control_R
    case 0xffe9: case 0xffea: return VKEY_ALT;     // Alt_L, Alt_R
    case 0x0039: return VKEY_EQUALS;    // '9'
    // The keypad with Num Lock off sends the navigation keys, as it does elsewhere.
    case 0xff95: return VKEY_HOME;      // KP_Home
    case 0xff96: return VKEY_LEFT;      // KP_Left
    case 0xff97: return VKEY_UP;        // KP_Up
    case 0xff98: return VKEY_RIGHT;     // KP_Right
    case 0xff99: return VKEY_DOWN;      // KP_Down
    case 0xff9a: return VKEY_PAGEUP;    // KP_Prior
    case 0xff9b: return VKEY_PAGEDOWN;  // KP_Next
    case 0xff9c: return VKEY_END;       // KP_End
    case 0xff9d: return VKEY_CLEAR;     // KP_Begin
    case 0xff9e: return VKEY_INSERT;    // KP_Insert
    case 0xff9f: return VKEY_DELETE;    // KP_Delete
    default: return 0;
    }
    // clang-format on
}

} // namespace Toolkit::LinuxPlatform

#pragma once

#include <cstdint>

namespace Toolkit {

// Mouse buttons and modifier keys of an event, as bits.
enum ButtonBits : std::uint32_t {
    leftButton = 0x02,
    middleButton = 0x04,
    rightButton = 0x08,
    shiftKey = 0x10,
    controlKey = 0x20,
    altKey = 0x40,
    appleKey = 0x80, // fourth modifier; no platform layer here sets it
    button4 = 0x100,
    button5 = 0x200,
    doubleClick = 0x400,
    modifierMask = 0xF0,
};

class ButtonState {
public:
    constexpr ButtonState(std::uint32_t bits = 0) : state(bits) {}
    constexpr operator std::uint32_t() const { return state; }
    constexpr std::uint32_t value() const { return state; }
    constexpr ButtonState& operator|=(std::uint32_t bits) {
        state |= bits;
        return *this;
    }
    constexpr bool has(std::uint32_t bits) const { return (state & bits) != 0; }
    constexpr bool isLeftButton() const { return has(leftButton); }
    constexpr std::uint32_t modifiers() const { return state & modifierMask; }

private:
    std::uint32_t state;
};

enum MouseResult : std::int32_t {
    mouseNotImplemented = 0,
    mouseHandled = 1,
    mouseNotHandled = 2,
    // The press was consumed; the view wants no moved or up events for it.
    mouseHandledNoTracking = 3,
};

enum MouseWheelAxis : std::int32_t {
    horizontalAxis = 0,
    verticalAxis = 1,
};

enum CursorType : std::int32_t {
    cursorDefault = 0,
    cursorWait = 1,
    cursorHSize = 2,
    cursorVSize = 3,
    cursorSizeAll = 4,
    cursorNESWSize = 5,
    cursorNWSESize = 6,
    cursorCopy = 7, // shown as the default cursor
    cursorNotAllowed = 8,
    cursorHand = 9,
};

enum DragResult : std::int32_t {
    dragError = -1,
    dragRefused = 0,
    dragMoved = 1,
    dragCopied = 2,
};

} // namespace Toolkit

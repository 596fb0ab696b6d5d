// The plug-in's own X display connection, shared by every open editor window.
#pragma once

#include <array>
#include <cairo.h>
#include <cstdint>
#include <thread>
#include <unordered_map>
#include <vector>
#include <xcb/xcb.h>

namespace Toolkit::LinuxPlatform {

class X11Frame;

// XCB rather than Xlib: a protocol error on our connection comes back as an event (or as the
// answer of a checked request) instead of going through Xlib's process-wide error handler,
// whose default exits the process and which the host may have replaced with its own. So no
// error of ours can reach the host's handler or terminate it, and a lost connection only
// makes our windows inert. Requests that are expected to fail (anything on the host's
// window) are checked where they are made; stray errors are read and dropped by the pump.
//
// Each editor thread has its own connection while at least one platform frame of that thread
// holds it (acquire/release); the last release closes it. A connection and its windows are used
// on their editor thread only.
class X11Connection {
public:
    // The calling thread's connection, opened on first use from DISPLAY; null when no display
    // can be reached. Each successful acquire needs one release (on any thread).
    static X11Connection* acquire();
    void release();
    // Like acquire, but never opens one: null when no frame of this thread holds a connection.
    static X11Connection* acquireIfOpen();

    xcb_connection_t* connection() const { return conn; }
    // False once the server has closed the connection; our windows are gone then.
    bool failed() const;

    void registerWindow(xcb_window_t window, X11Frame* frame);
    void unregisterWindow(xcb_window_t window);
    // The open frames, each with one reference taken for the caller.
    std::vector<X11Frame*> referencedFrames() const;

    // Reads every event that has arrived without blocking and hands each to the frame of its
    // window; errors and events of unknown windows are dropped.
    void dispatchPending();

    // The visual record for a visual id of any screen; null when unknown.
    xcb_visualtype_t* visualType(xcb_visualid_t visual) const;
    // The keysym a key press means: the unshifted symbol, or the keypad digit when Num Lock
    // is on. 0 when the key has none.
    std::uint32_t keysymFor(xcb_keycode_t keycode, std::uint16_t state);
    // A cursor from the standard cursor font (glyph index), made once and kept; XCB_NONE
    // when it cannot be made.
    xcb_cursor_t fontCursor(std::uint16_t glyph);
    // True while the server has the shared memory extension and has not refused our memory
    // once (a remote display). The first call may wait for the reply asked for at connection.
    bool mayShareMemory();
    void refuseSharedMemory() { sharedMemoryRefused = true; }
    // cairo keeps per-connection state for its XCB surfaces; it must be finished before the
    // connection closes.
    void noteCairoDevice(cairo_device_t* device);

private:
    X11Connection() = default;
    ~X11Connection();
    bool open();
    void loadKeyboardMapping();
    static xcb_window_t eventWindow(const xcb_generic_event_t* event);
    // True when `press` is the server's auto-repeat of the key that `release` let go.
    bool isAutoRepeat(const xcb_generic_event_t* release, const xcb_generic_event_t* press);

    xcb_connection_t* conn = nullptr;
    std::thread::id owner;
    int users = 0;
    std::unordered_map<xcb_window_t, X11Frame*> windows;
    std::vector<std::uint32_t> keysyms;
    xcb_keycode_t minKeycode = 0;
    std::uint8_t keysymsPerKeycode = 0;
    std::uint16_t numLockMask = 0;
    bool keyboardLoaded = false;
    // One bit per keycode: the server repeats that key while it is held.
    std::array<std::uint8_t, 32> repeatingKeys{};
    xcb_font_t cursorFont = XCB_NONE;
    std::unordered_map<std::uint16_t, xcb_cursor_t> cursors;
    cairo_device_t* cairoDevice = nullptr;
    bool sharedMemoryRefused = false;
};

} // namespace Toolkit::LinuxPlatform

// A host-made top-level window to open an editor into, with synthetic input and screen capture
// of what the editor drew: X11 with XTest (hostwindow.cpp) or Win32 (hostwindow_win32.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace gravelix::validator {

class Session;

class HostWindow {
public:
    // Opens its own display connection; throws std::runtime_error without one.
    HostWindow(int width, int height);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // What effEditOpen receives: the X window id or the HWND.
    void* parentHandle() const;
    bool alive() const { return window != 0; }
    void destroy();
    void resize(int width, int height);

    // Pixels of the window and what is drawn in it, row by row.
    std::vector<std::uint32_t> capture();

    // Pointer actions at window-relative positions; each is flushed to the server.
    void moveTo(int x, int y);
    void button(bool down);
    void sync();

    int width, height;

private:
    Display* display = nullptr; // X11 only
    std::uintptr_t window = 0;  // X11 Window id or HWND
};

// Whether DISPLAY names an X server that accepts a connection (on Windows: always).
bool displayAvailable();

// The editor's size from effEditGetRect; false when it gives none.
bool editorSize(Session& s, int& width, int& height);

// Calls effEditIdle count times with a pause between, the way a host's timer would.
void pumpIdle(Session& s, HostWindow* w, int count, int pauseMs = 5);

} // namespace gravelix::validator

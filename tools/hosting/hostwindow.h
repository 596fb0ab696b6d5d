// The host's own top-level window, into which a plug-in's editor opens as a child: an X11
// window (hostwindow.cpp) or a Win32 one (hostwindow_win32.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace gravelix::host {

// Pixels as 0x00RRGGBB, row by row.
struct Image {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    bool operator==(const Image&) const = default;
};

class HostWindow {
public:
    // Opens the display named by DISPLAY (X11); throws std::runtime_error when there is none
    // or the window cannot be made.
    HostWindow(int width, int height, const std::string& title);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // Tells Windows that this process draws for each screen's density itself, as current hosts
    // do, so a plug-in asked for its size sees the real density; once, before the plug-in is
    // asked anything about its editor. Nothing on X11.
    static void declareDpiAware();

    // The X window id or the HWND, as the pointer-sized value effEditOpen expects.
    std::uintptr_t id() const { return window_; }
    int width() const { return width_; }
    int height() const { return height_; }

    void resize(int width, int height);
    // Handles pending events, waiting at most timeoutMs for the first one. False once the
    // window manager asked to close the window.
    bool pump(int timeoutMs);
    // Blocks until the server has mapped the window (or a second has passed).
    void waitMapped();

    // The window's pixels as the screen shows them, editor included. Parts outside the
    // screen read as black.
    Image capture();
    // A left click at (x, y) in window coordinates as real input (XTEST, or SendInput on
    // Windows); the pointer is parked outside the window afterwards so no hover state lingers.
    void click(int x, int y);

private:
    Display* display_ = nullptr;
    std::uintptr_t window_ = 0;
    unsigned long deleteAtom_ = 0;
    int width_, height_;
    bool closed_ = false, mapped_ = false, destroyed_ = false;
};

// Throws on failure.
void writePng(const std::string& path, const Image& image);

} // namespace gravelix::host

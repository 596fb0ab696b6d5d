// The host's own top-level window, into which a plug-in's editor opens as a child, with real
// input and screen capture of what the editor drew: X11 with XTest (hostwindow_linux.cpp) or
// Win32 (hostwindow_win32.cpp). Shared by the command-line host, the validator and the tests.
#pragma once

#include <cstdint>
#include <memory>
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

// One connection to the window system, shared by every window made on it. A host keeps one for
// its whole run: a bare X server resets, and refuses connections for a while, whenever its last
// client leaves. On Windows there is nothing to connect to and it is always there.
class HostDisplay {
public:
    // Opens the display named by DISPLAY; throws std::runtime_error when there is none.
    HostDisplay();
    ~HostDisplay();
    HostDisplay(const HostDisplay&) = delete;
    HostDisplay& operator=(const HostDisplay&) = delete;

    Display* x() const { return display_; } // nullptr on Windows

private:
    Display* display_ = nullptr;
};

class HostWindow {
public:
    enum class Kind {
        // Titled, fixed in size and closable by the user, placed by the window manager.
        Framed,
        // Borderless at the screen's origin above everything else, placed exactly where asked
        // with no window manager in between (X11 override-redirect).
        Bare,
    };

    // On a display connection of its own.
    HostWindow(int width, int height, const std::string& title, Kind kind = Kind::Framed)
        : HostWindow(std::make_shared<HostDisplay>(), width, height, title, kind) {}
    // On a shared connection, which must outlive the window. Throws std::runtime_error when the
    // window cannot be made.
    HostWindow(std::shared_ptr<HostDisplay> display, int width, int height,
               const std::string& title, Kind kind = Kind::Framed);
    ~HostWindow() { destroy(); }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    // Tells Windows that this process draws for each screen's density itself, as current hosts
    // do, so a plug-in asked for its size sees the real density; once, before the plug-in is
    // asked anything about its editor. Nothing on X11.
    static void declareDpiAware();

    // The X window id or the HWND, as the pointer-sized value effEditOpen expects.
    std::uintptr_t id() const { return window_; }
    void* parentHandle() const { return reinterpret_cast<void*>(window_); }
    int width() const { return width_; }
    int height() const { return height_; }
    // False once destroy() was called or another client destroyed the window.
    bool alive() const { return !destroyed_; }
    // Whether any window (an editor's) is still a child of this one.
    bool hasChildren();
    const std::shared_ptr<HostDisplay>& display() const { return display_; }

    void resize(int width, int height);
    // Destroys the window now, ahead of the object, as a host closing its window first does.
    void destroy();
    // Handles pending events, waiting at most timeoutMs for the first one. False once the
    // window manager asked to close the window.
    bool pump(int timeoutMs);
    // Blocks until the server has mapped the window (or a second has passed).
    void waitMapped();
    // Waits until the server has handled everything sent so far and handles what came back.
    void sync();

    // The window's pixels as the screen shows them, editor included. Parts outside the
    // screen read as black; a destroyed window gives an empty image.
    Image capture();
    // A left click at (x, y) in window coordinates as real input (XTEST, or SendInput on
    // Windows); the pointer is parked outside the window afterwards so no hover state lingers.
    void click(int x, int y);
    // The pointer moved to (x, y) in window coordinates, and the left button pressed or
    // released there, as real input that has reached the server when they return.
    void moveTo(int x, int y);
    void button(bool down);

private:
    std::shared_ptr<HostDisplay> display_;
    std::uintptr_t window_ = 0;
    unsigned long deleteAtom_ = 0;
    Kind kind_;
    int width_, height_;
    bool closed_ = false, mapped_ = false, destroyed_ = false;
};

// Throws on failure.
void writePng(const std::string& path, const Image& image);

} // namespace gravelix::host

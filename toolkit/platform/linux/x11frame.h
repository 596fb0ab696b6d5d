// The platform frame on X11: a plain child window inside the host's window.
#pragma once

#include "platform/iplatformframe.h"

#include <cairo.h>
#include <cstdint>
#include <memory>
#include <xcb/xcb.h>

namespace Toolkit::LinuxPlatform {

class X11Connection;
class X11SharedImage;

// Input arrives through the event pump (LinuxPlatform::pumpEvents), which calls handleEvent
// for each event of this window and paint() for windows with an invalid area. Drawing goes
// into a back buffer (an image surface of the window's size, shared with a local server where
// it can be) that is then copied to the window, so a repaint never flickers. If the window cannot
// be made (no display, the host's window is gone) the frame exists without one: invalidations are
// dropped and nothing paints.
class X11Frame : public IPlatformFrame {
public:
    // `parentWindow` is the host's X window id carried in a pointer-sized value.
    X11Frame(IPlatformFrameCallback* callback, const CRect& size, void* parentWindow);
    ~X11Frame() override;
    X11Frame(const X11Frame&) = delete;
    X11Frame& operator=(const X11Frame&) = delete;

    bool globalPosition(CPoint& position) const override;
    bool setSize(const CRect& newSize) override;
    bool size(CRect& size) const override;
    bool mousePosition(CPoint& position) const override;
    bool mouseButtons(ButtonState& buttons) const override;
    bool setCursor(CursorType type) override;
    bool invalidateRect(const CRect& rect) override;
    // The X window id (as a pointer-sized value); null without a window.
    void* nativeHandle() const override;
    COffscreenContext* createOffscreenContext(double width, double height) override;
    bool setScaleFactor(double scale) override;
    bool isKindOf(const char* className) const override;

    xcb_window_t window() const { return ownWindow; }
    // The surface that window contexts draw into; made on first use, replaced on resize.
    cairo_surface_t* backBuffer();
    // True when the server reads the back buffer from memory shared with it.
    bool sharesBufferWithServer() const { return sharedBuffer != nullptr; }

    // Pump entry points, on the editor thread.
    void handleEvent(const xcb_generic_event_t* event);
    bool needsPaint() const;
    // Redraws every invalid rectangle (clear, then platformDrawRect, each clipped to its
    // rectangle) into the back buffer and copies them to the window.
    void paint();

private:
    struct LastPress {
        std::uint8_t button = 0;
        std::uint32_t time = 0;
        std::int16_t x = 0;
        std::int16_t y = 0;
    };

    void createWindow(xcb_window_t parentWindow);
    // WM_NORMAL_HINTS with the window's one size as minimum, maximum and base: embedding hosts
    // (LV2's X11 UI hosts above all) size their container from them.
    void writeSizeHints();
    void onButtonPress(const xcb_button_press_event_t& event);
    void onButtonRelease(const xcb_button_release_event_t& event);
    void onKey(const xcb_key_press_event_t& event, bool down);
    void passKeyToParent(const xcb_key_press_event_t& event, bool down);
    ButtonState buttonsFromState(std::uint16_t state) const;
    void ungrabPointer(xcb_timestamp_t time);
    void copyToWindow(const cairo_region_t* region);
    void copyThroughCairo(const cairo_region_t* region);
    void forgetWindow();
    void dropSurfaces();

    IPlatformFrameCallback* callback;
    X11Connection* connection = nullptr;
    xcb_window_t ownWindow = XCB_NONE;
    xcb_window_t root = XCB_NONE;
    xcb_window_t parent = XCB_NONE;
    xcb_visualtype_t* visual = nullptr;
    std::uint8_t depth = 0;
    int width = 0;
    int height = 0;
    // The frame's scale, given to the window context; everything else here is device pixels.
    double scale = 1.0;
    cairo_surface_t* windowSurface = nullptr;
    cairo_surface_t* buffer = nullptr;
    // Behind `buffer` when the server reads it from shared memory.
    std::unique_ptr<X11SharedImage> sharedBuffer;
    CDrawContext* drawContext = nullptr;
    cairo_region_t* invalid = nullptr;
    // X reports no state bits for the side buttons 8 and 9, so their state is tracked here.
    std::uint32_t sideButtons = 0;
    LastPress lastPress;
};

} // namespace Toolkit::LinuxPlatform

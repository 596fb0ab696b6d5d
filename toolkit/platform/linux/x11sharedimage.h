// A window's back buffer in memory shared with a local X server (MIT-SHM).
#pragma once

#include <cairo.h>
#include <cstdint>
#include <memory>
#include <xcb/xcb.h>

namespace Toolkit::LinuxPlatform {

class X11Connection;

// Copying a back buffer through the socket costs the client a copy of every pixel into the
// socket and the server another out of it: at 3x the pedal is 4.6 MB a full paint. Shared
// with the server, a paint's pixels are read by the server straight from the buffer.
// Only where that gives the same pixels as cairo's copy: a local server, a window of depth 24
// or 32 whose pixels are 32-bit words laid out as cairo's ARGB32 in this machine's byte order.
class X11SharedImage {
public:
    // A buffer of `width` x `height` pixels for `window` (of `depth` in `visual`), or null
    // where the server cannot share memory with us (no MIT-SHM, a remote display, another
    // pixel layout); the caller then copies through cairo. A refusal is remembered per
    // connection, so a remote display is asked once.
    static std::unique_ptr<X11SharedImage> create(X11Connection& connection, xcb_window_t window,
                                                  const xcb_visualtype_t& visual,
                                                  std::uint8_t depth, int width, int height);
    ~X11SharedImage();
    X11SharedImage(const X11SharedImage&) = delete;
    X11SharedImage& operator=(const X11SharedImage&) = delete;

    // The cairo image surface over the shared pixels; owned by this buffer.
    cairo_surface_t* surface() const { return image; }
    // Sends `region` (device pixels) to the window. The server reads the pixels later, so the
    // caller must wait for a reply to any later request before drawing into the buffer again.
    void put(const cairo_region_t* region);

private:
    X11SharedImage(X11Connection& connection, xcb_window_t window, std::uint8_t depth, int width,
                   int height);
    bool attach();

    X11Connection& connection;
    const xcb_window_t window;
    const std::uint8_t depth;
    const int width;
    const int height;
    int segmentId = -1;
    void* pixels = nullptr;
    std::uint32_t segment = 0;
    bool attached = false;
    xcb_gcontext_t gc = 0;
    cairo_surface_t* image = nullptr;
};

} // namespace Toolkit::LinuxPlatform

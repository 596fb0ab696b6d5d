#include "hostwindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <cairo.h>

#include <algorithm>
#include <poll.h>
#include <stdexcept>

namespace gravelix::host {

namespace {

int shiftOf(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

// Scales a masked channel value to 8 bits whatever the visual's channel width.
std::uint32_t channel(unsigned long pixel, unsigned long mask) {
    if (!mask) {
        return 0;
    }
    const unsigned long value = (pixel & mask) >> shiftOf(mask);
    const unsigned long max = mask >> shiftOf(mask);
    return static_cast<std::uint32_t>((value * 255 + max / 2) / max);
}

} // namespace

void HostWindow::declareDpiAware() {}

HostWindow::HostWindow(int width, int height, const std::string& title)
    : width_(std::max(width, 1)), height_(std::max(height, 1)) {
    // The plug-in's editor may drive its own connection from other threads.
    XInitThreads();
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        throw std::runtime_error("cannot open the X display (is DISPLAY set? try xvfb-run)");
    }
    const int screen = DefaultScreen(display_);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display_, screen);
    attributes.event_mask = StructureNotifyMask | ExposureMask;
    window_ =
        XCreateWindow(display_, RootWindow(display_, screen), 0, 0, static_cast<unsigned>(width_),
                      static_cast<unsigned>(height_), 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWBackPixel | CWEventMask, &attributes);
    XStoreName(display_, window_, title.c_str());
    // A fixed-size editor: the window manager should not offer resizing.
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PMaxSize | PPosition;
    hints->min_width = hints->max_width = width_;
    hints->min_height = hints->max_height = height_;
    XSetWMNormalHints(display_, window_, hints);
    XFree(hints);
    Atom deleteAtom = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    deleteAtom_ = deleteAtom;
    XSetWMProtocols(display_, window_, &deleteAtom, 1);
    XMapRaised(display_, window_);
    // The editor parents its window to ours over another connection: ours must exist first.
    XSync(display_, False);
}

HostWindow::~HostWindow() {
    if (display_) {
        if (!destroyed_) {
            XDestroyWindow(display_, window_);
        }
        XCloseDisplay(display_);
    }
}

void HostWindow::resize(int width, int height) {
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = width_;
    hints->min_height = hints->max_height = height_;
    XSetWMNormalHints(display_, window_, hints);
    XFree(hints);
    XResizeWindow(display_, window_, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    XFlush(display_);
}

bool HostWindow::pump(int timeoutMs) {
    if (!XPending(display_) && timeoutMs > 0) {
        pollfd fd{ConnectionNumber(display_), POLLIN, 0};
        poll(&fd, 1, timeoutMs); // EINTR (Ctrl-C) simply ends the wait
    }
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == MapNotify) {
            mapped_ = true;
        } else if (event.type == ClientMessage &&
                   static_cast<unsigned long>(event.xclient.data.l[0]) == deleteAtom_) {
            closed_ = true;
        } else if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
            // Another client destroyed it: a request on it now would be a fatal BadWindow.
            destroyed_ = true;
            closed_ = true;
        }
    }
    return !closed_;
}

void HostWindow::waitMapped() {
    for (int i = 0; i < 100 && !mapped_; ++i) {
        pump(10);
    }
}

Image HostWindow::capture() {
    XSync(display_, False);
    const int screen = DefaultScreen(display_);
    const Window root = RootWindow(display_, screen);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display_, window_, root, 0, 0, &x, &y, &child);
    // Reading from the root gives what the screen shows, whatever visual the editor's own
    // window uses; only the on-screen part can be read.
    const int left = std::max(x, 0), top = std::max(y, 0);
    const int right = std::min(x + width_, DisplayWidth(display_, screen));
    const int bottom = std::min(y + height_, DisplayHeight(display_, screen));
    Image out{width_, height_, std::vector<std::uint32_t>(std::size_t(width_) * height_, 0)};
    if (right <= left || bottom <= top) {
        return out;
    }
    XImage* image = XGetImage(display_, root, left, top, static_cast<unsigned>(right - left),
                              static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    if (!image) {
        throw std::runtime_error("cannot read the window's pixels from the X server");
    }
    Visual* visual = DefaultVisual(display_, screen);
    for (int row = top; row < bottom; ++row) {
        for (int col = left; col < right; ++col) {
            const unsigned long p = XGetPixel(image, col - left, row - top);
            out.pixels[static_cast<std::size_t>(row - y) * width_ + (col - x)] =
                channel(p, visual->red_mask) << 16 | channel(p, visual->green_mask) << 8 |
                channel(p, visual->blue_mask);
        }
    }
    XDestroyImage(image);
    return out;
}

void HostWindow::click(int x, int y) {
    int event, error, major, minor;
    if (!XTestQueryExtension(display_, &event, &error, &major, &minor)) {
        throw std::runtime_error("the X server has no XTEST extension; cannot click");
    }
    const int screen = DefaultScreen(display_);
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(display_, window_, RootWindow(display_, screen), x, y, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(display_, screen, rootX, rootY, CurrentTime);
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
    XTestFakeMotionEvent(display_, screen, rootX - x + width_ + 40, rootY - y + height_ + 40,
                         CurrentTime);
    XSync(display_, False);
}

void writePng(const std::string& path, const Image& image) {
    const int width = image.width, height = image.height;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_surface_flush(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int row = 0; row < height; ++row) {
        auto* line =
            reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
        std::copy_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(row) * width, width, line);
    }
    cairo_surface_mark_dirty(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    cairo_surface_destroy(surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        throw std::runtime_error("cannot write '" + path + "': " + cairo_status_to_string(status));
    }
}

} // namespace gravelix::host

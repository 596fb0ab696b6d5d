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

// Events for one window only, so windows sharing a connection do not take each other's.
Bool forWindow(Display*, XEvent* event, XPointer window) {
    return event->xany.window == reinterpret_cast<Window>(window) ? True : False;
}

} // namespace

void HostWindow::declareDpiAware() {}

HostDisplay::HostDisplay() {
    // The plug-in's editor may drive its own connection from other threads.
    XInitThreads();
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        throw std::runtime_error("cannot open the X display (is DISPLAY set? try xvfb-run)");
    }
}

HostDisplay::~HostDisplay() {
    XCloseDisplay(display_);
}

HostWindow::HostWindow(std::shared_ptr<HostDisplay> display, int width, int height,
                       const std::string& title, Kind kind)
    : display_(std::move(display)), kind_(kind), width_(std::max(width, 1)),
      height_(std::max(height, 1)) {
    Display* x = display_->x();
    const int screen = DefaultScreen(x);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(x, screen);
    attributes.event_mask = StructureNotifyMask | ExposureMask;
    attributes.override_redirect = kind == Kind::Bare ? True : False;
    window_ =
        XCreateWindow(x, RootWindow(x, screen), 0, 0, static_cast<unsigned>(width_),
                      static_cast<unsigned>(height_), 0, CopyFromParent, InputOutput,
                      CopyFromParent, CWBackPixel | CWEventMask | CWOverrideRedirect, &attributes);
    XStoreName(x, window_, title.c_str());
    // A fixed-size editor: the window manager should not offer resizing.
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PMaxSize | PPosition;
    hints->min_width = hints->max_width = width_;
    hints->min_height = hints->max_height = height_;
    XSetWMNormalHints(x, window_, hints);
    XFree(hints);
    Atom deleteAtom = XInternAtom(x, "WM_DELETE_WINDOW", False);
    deleteAtom_ = deleteAtom;
    XSetWMProtocols(x, window_, &deleteAtom, 1);
    XMapRaised(x, window_);
    // The editor parents its window to ours over another connection: ours must exist first.
    XSync(x, False);
    if (kind == Kind::Bare) {
        // No window manager to wait for: viewable as soon as the server says so, and the
        // editor's child is viewable at once.
        waitMapped();
    }
}

void HostWindow::destroy() {
    if (destroyed_) {
        return;
    }
    Display* x = display_->x();
    // Another client may have destroyed it already: destroying it again would be a fatal error.
    XSync(x, False);
    pump(0);
    if (!destroyed_) {
        XDestroyWindow(x, window_);
        XSync(x, False);
    }
    destroyed_ = closed_ = true;
    // What is still queued for it would otherwise stay on the shared connection for good.
    XEvent event;
    while (XCheckIfEvent(x, &event, forWindow, reinterpret_cast<XPointer>(window_))) {
    }
}

void HostWindow::resize(int width, int height) {
    if (destroyed_) {
        return;
    }
    Display* x = display_->x();
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = width_;
    hints->min_height = hints->max_height = height_;
    XSetWMNormalHints(x, window_, hints);
    XFree(hints);
    XResizeWindow(x, window_, static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    XFlush(x);
}

bool HostWindow::pump(int timeoutMs) {
    Display* x = display_->x();
    const auto next = [&](XEvent& event) {
        return !destroyed_ &&
               XCheckIfEvent(x, &event, forWindow, reinterpret_cast<XPointer>(window_));
    };
    XEvent event;
    bool got = next(event);
    if (!got && timeoutMs > 0) {
        // Everything that had arrived is queued by now, so the socket only wakes us for news
        // (events queued for other windows or for no window must not keep us from waiting).
        pollfd fd{ConnectionNumber(x), POLLIN, 0};
        poll(&fd, 1, timeoutMs); // EINTR (Ctrl-C) simply ends the wait
        got = next(event);
    }
    for (; got; got = next(event)) {
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
    for (int i = 0; i < 100 && !mapped_ && !destroyed_; ++i) {
        pump(10);
    }
}

bool HostWindow::hasChildren() {
    if (destroyed_) {
        return false;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_->x(), window_, &root, &parent, &children, &count)) {
        return false;
    }
    if (children) {
        XFree(children);
    }
    return count > 0;
}

void HostWindow::sync() {
    XSync(display_->x(), False);
    pump(0);
}

Image HostWindow::capture() {
    if (destroyed_) {
        return {};
    }
    Display* x = display_->x();
    XSync(x, False);
    const int screen = DefaultScreen(x);
    const Window root = RootWindow(x, screen);
    int left0 = 0, top0 = 0;
    Window child;
    XTranslateCoordinates(x, window_, root, 0, 0, &left0, &top0, &child);
    // Reading from the root gives what the screen shows, whatever visual the editor's own
    // window uses; only the on-screen part can be read.
    const int left = std::max(left0, 0), top = std::max(top0, 0);
    const int right = std::min(left0 + width_, DisplayWidth(x, screen));
    const int bottom = std::min(top0 + height_, DisplayHeight(x, screen));
    Image out{width_, height_, std::vector<std::uint32_t>(std::size_t(width_) * height_, 0)};
    if (right <= left || bottom <= top) {
        return out;
    }
    XImage* image = XGetImage(x, root, left, top, static_cast<unsigned>(right - left),
                              static_cast<unsigned>(bottom - top), AllPlanes, ZPixmap);
    if (!image) {
        throw std::runtime_error("cannot read the window's pixels from the X server");
    }
    Visual* visual = DefaultVisual(x, screen);
    for (int row = top; row < bottom; ++row) {
        for (int col = left; col < right; ++col) {
            const unsigned long p = XGetPixel(image, col - left, row - top);
            out.pixels[static_cast<std::size_t>(row - top0) * width_ + (col - left0)] =
                channel(p, visual->red_mask) << 16 | channel(p, visual->green_mask) << 8 |
                channel(p, visual->blue_mask);
        }
    }
    XDestroyImage(image);
    return out;
}

void HostWindow::moveTo(int x, int y) {
    if (destroyed_) {
        return;
    }
    Display* d = display_->x();
    int event, error, major, minor;
    if (!XTestQueryExtension(d, &event, &error, &major, &minor)) {
        throw std::runtime_error("the X server has no XTEST extension; cannot move the pointer");
    }
    const int screen = DefaultScreen(d);
    int rootX = 0, rootY = 0;
    Window child;
    XTranslateCoordinates(d, window_, RootWindow(d, screen), x, y, &rootX, &rootY, &child);
    XTestFakeMotionEvent(d, screen, rootX, rootY, CurrentTime);
    XSync(d, False);
}

void HostWindow::button(bool down) {
    Display* d = display_->x();
    XTestFakeButtonEvent(d, 1, down ? True : False, CurrentTime);
    XSync(d, False);
}

void HostWindow::click(int x, int y) {
    moveTo(x, y);
    button(true);
    button(false);
    moveTo(width_ + 40, height_ + 40);
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

#include "hostwindow.h"

#include "session.h"

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace gravelix::validator {

HostWindow::HostWindow(int w, int h) : width(w), height(h) {
    display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        throw std::runtime_error("no X display");
    }
    const int screen = DefaultScreen(display);
    XSetWindowAttributes attrs{};
    attrs.background_pixel = BlackPixel(display, screen);
    attrs.override_redirect = True; // placed exactly where asked, no window manager delay
    window = XCreateWindow(display, RootWindow(display, screen), 0, 0, unsigned(w), unsigned(h), 0,
                           CopyFromParent, InputOutput, CopyFromParent,
                           CWBackPixel | CWOverrideRedirect, &attrs);
    XSelectInput(display, window, ExposureMask | StructureNotifyMask);
    XMapRaised(display, window);
    XSync(display, False);
    // Wait until it is mapped, so the editor's child is viewable at once.
    for (int i = 0; i < 200; ++i) {
        XEvent ev;
        if (XCheckTypedWindowEvent(display, window, MapNotify, &ev)) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

HostWindow::~HostWindow() {
    destroy();
    XCloseDisplay(display);
}

void* HostWindow::parentHandle() const {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
}

void HostWindow::destroy() {
    if (window != 0) {
        XDestroyWindow(display, window);
        XSync(display, False);
        window = 0;
    }
}

void HostWindow::resize(int w, int h) {
    if (window != 0 && w > 0 && h > 0) {
        XResizeWindow(display, window, unsigned(w), unsigned(h));
        XSync(display, False);
        width = w;
        height = h;
    }
}

std::vector<std::uint32_t> HostWindow::capture() {
    std::vector<std::uint32_t> pixels;
    if (window == 0) {
        return pixels;
    }
    XSync(display, False);
    XImage* img =
        XGetImage(display, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (img == nullptr) {
        return pixels;
    }
    pixels.reserve(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels.push_back(static_cast<std::uint32_t>(XGetPixel(img, x, y)));
        }
    }
    XDestroyImage(img);
    return pixels;
}

void HostWindow::moveTo(int x, int y) {
    int rx = x, ry = y;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(display, DefaultScreen(display), rx, ry, CurrentTime);
    XSync(display, False);
}

void HostWindow::button(bool down) {
    XTestFakeButtonEvent(display, 1, down ? True : False, CurrentTime);
    XSync(display, False);
}

void HostWindow::sync() {
    XSync(display, False);
}

bool displayAvailable() {
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0') {
        return false;
    }
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        return false;
    }
    XCloseDisplay(d);
    return true;
}

bool editorSize(Session& s, int& width, int& height) {
    ERect* r = nullptr;
    s.dispatch(effEditGetRect, 0, 0, &r);
    if (r == nullptr) {
        return false;
    }
    width = r->right - r->left;
    height = r->bottom - r->top;
    return width > 0 && height > 0 && width < 10000 && height < 10000;
}

void pumpIdle(Session& s, HostWindow* w, int count, int pauseMs) {
    for (int i = 0; i < count; ++i) {
        if (w != nullptr) {
            w->sync();
        }
        s.dispatch(effEditIdle);
        if (pauseMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
    }
}

} // namespace gravelix::validator

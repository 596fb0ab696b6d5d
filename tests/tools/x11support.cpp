#include "x11support.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace toolstest {

bool haveDisplay() {
    Display* d = XOpenDisplay(nullptr);
    if (d) {
        XCloseDisplay(d);
    }
    return d != nullptr;
}

namespace {

Window topLevelNamed(Display* d, const std::string& title) {
    Window root = DefaultRootWindow(d), parent, *children = nullptr, found = 0;
    unsigned count = 0;
    XQueryTree(d, root, &root, &parent, &children, &count);
    for (unsigned i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(d, children[i], &name) && name && title == name) {
            found = children[i];
        }
        XFree(name);
    }
    XFree(children);
    return found;
}

} // namespace

bool closeWindowNamed(const std::string& title) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        return false;
    }
    const Window window = topLevelNamed(d, title);
    if (window) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = window;
        ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
        XSendEvent(d, window, False, NoEventMask, &ev);
    }
    XCloseDisplay(d);
    return window != 0;
}

bool dragInWindowNamed(const std::string& title, int x, int y, int dy) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        return false;
    }
    const Window window = topLevelNamed(d, title);
    if (window) {
        int rx = 0, ry = 0;
        Window child;
        XTranslateCoordinates(d, window, DefaultRootWindow(d), x, y, &rx, &ry, &child);
        const int screen = DefaultScreen(d);
        XTestFakeMotionEvent(d, screen, rx, ry, CurrentTime);
        XTestFakeButtonEvent(d, 1, True, CurrentTime);
        for (int step = 1; step <= 10; ++step) {
            XTestFakeMotionEvent(d, screen, rx, ry + dy * step / 10, CurrentTime);
        }
        XTestFakeButtonEvent(d, 1, False, CurrentTime);
        // Parked off the window so that no hover state lingers.
        XTestFakeMotionEvent(d, screen, 0, 0, CurrentTime);
        XSync(d, False);
    }
    XCloseDisplay(d);
    return window != 0;
}

} // namespace toolstest

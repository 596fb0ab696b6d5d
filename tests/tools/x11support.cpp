#include "x11support.h"

#include <X11/Xlib.h>

namespace toolstest {

bool haveDisplay() {
    Display* d = XOpenDisplay(nullptr);
    if (d) {
        XCloseDisplay(d);
    }
    return d != nullptr;
}

bool closeWindowNamed(const std::string& title) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        return false;
    }
    Window root = DefaultRootWindow(d), parent, *children = nullptr;
    unsigned count = 0;
    bool sent = false;
    XQueryTree(d, root, &root, &parent, &children, &count);
    for (unsigned i = 0; i < count && !sent; ++i) {
        char* name = nullptr;
        if (XFetchName(d, children[i], &name) && name && title == name) {
            XEvent ev{};
            ev.xclient.type = ClientMessage;
            ev.xclient.window = children[i];
            ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
            ev.xclient.format = 32;
            ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
            XSendEvent(d, children[i], False, NoEventMask, &ev);
            sent = true;
        }
        XFree(name);
    }
    XFree(children);
    XCloseDisplay(d);
    return sent;
}

} // namespace toolstest

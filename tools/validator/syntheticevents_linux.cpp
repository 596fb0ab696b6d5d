#include "syntheticevents.h"

#include <X11/Xlib.h>

namespace gravelix::validator {
namespace {

// The editor's top window: the first child of the host window; 0 when there is none.
Window editorWindow(host::HostWindow& w) {
    Display* d = w.display()->x();
    Window root = 0, parent = 0, found = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(d, static_cast<Window>(w.id()), &root, &parent, &children, &count) &&
        children != nullptr) {
        found = count > 0 ? children[0] : 0;
        XFree(children);
    }
    return found;
}

// The deepest window under (x, y) of the host window, and the point in its coordinates.
Window deepestAt(Display* d, Window top, int& x, int& y) {
    Window current = top;
    for (;;) {
        int same = 0, sameY = 0;
        Window child = 0;
        XTranslateCoordinates(d, current, current, x, y, &same, &sameY, &child);
        if (child == 0) {
            return current;
        }
        Window unused = 0;
        XTranslateCoordinates(d, current, child, x, y, &x, &y, &unused);
        current = child;
    }
}

} // namespace

std::string syntheticEventsUnsupported() {
    return {};
}

void sendSyntheticDrag(host::HostWindow& w, int x, int y, const std::function<void()>& between) {
    Display* d = w.display()->x();
    const Window root = DefaultRootWindow(d);
    int lx = x, ly = y;
    const Window target = deepestAt(d, static_cast<Window>(w.id()), lx, ly);
    int rootX = 0, rootY = 0;
    Window unused = 0;
    XTranslateCoordinates(d, static_cast<Window>(w.id()), root, x, y, &rootX, &rootY, &unused);
    Time time = 1000;
    auto send = [&](int type, int dy, unsigned state, long mask) {
        XEvent e{};
        e.xany.type = type;
        e.xany.display = d;
        e.xany.window = target;
        // Motion and button events keep the pointer's place under the same field names.
        auto place = [&](auto& pointer) {
            pointer.root = root;
            pointer.time = time;
            pointer.x = lx;
            pointer.y = ly - dy;
            pointer.x_root = rootX;
            pointer.y_root = rootY - dy;
            pointer.state = state;
            pointer.same_screen = True;
        };
        if (type == MotionNotify) {
            place(e.xmotion);
            e.xmotion.is_hint = NotifyNormal;
        } else {
            place(e.xbutton);
            e.xbutton.button = Button1;
        }
        time += 20;
        // Propagated as the server would, to whichever window of the editor wants it.
        XSendEvent(d, target, True, mask, &e);
        XSync(d, False);
        between();
    };
    send(ButtonPress, 0, 0, ButtonPressMask);
    for (int dy : {8, 20, 40}) {
        send(MotionNotify, dy, Button1Mask,
             PointerMotionMask | ButtonMotionMask | Button1MotionMask);
    }
    send(ButtonRelease, 40, Button1Mask, ButtonReleaseMask);
}

bool damageEditor(host::HostWindow& w) {
    Display* d = w.display()->x();
    const Window editor = editorWindow(w);
    XWindowAttributes attributes{};
    if (editor == 0 || !XGetWindowAttributes(d, editor, &attributes)) {
        return false;
    }
    GC gc = XCreateGC(d, editor, 0, nullptr);
    XSetForeground(d, gc, BlackPixel(d, DefaultScreen(d)));
    XSetSubwindowMode(d, gc, IncludeInferiors);
    XFillRectangle(d, editor, gc, 0, 0, static_cast<unsigned>(attributes.width),
                   static_cast<unsigned>(attributes.height));
    XFreeGC(d, gc);
    XSync(d, False);
    return true;
}

void sendSyntheticExpose(host::HostWindow& w) {
    Display* d = w.display()->x();
    const Window editor = editorWindow(w);
    XWindowAttributes attributes{};
    if (editor == 0 || !XGetWindowAttributes(d, editor, &attributes)) {
        return;
    }
    XEvent e{};
    e.xexpose.type = Expose;
    e.xexpose.display = d;
    e.xexpose.window = editor;
    e.xexpose.width = attributes.width;
    e.xexpose.height = attributes.height;
    XSendEvent(d, editor, False, ExposureMask, &e);
    XSync(d, False);
}

} // namespace gravelix::validator

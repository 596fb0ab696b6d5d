#include "x11testhost.h"

#include "linuxplatform.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

void X11TestHost::SetUpTestSuite() {
    for (int attempt = 0; attempt < 50 && !display; ++attempt) {
        display = XOpenDisplay(nullptr);
        if (!display) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
    }
}

void X11TestHost::TearDownTestSuite() {
    if (display) {
        XCloseDisplay(display);
    }
    display = nullptr;
}

void X11TestHost::SetUp() {
    ASSERT_NE(nullptr, display) << "needs an X display (scripts/with-display.sh)";
    int event, error, major, minor;
    ASSERT_TRUE(XTestQueryExtension(display, &event, &error, &major, &minor));
    host = XCreateSimpleWindow(display, DefaultRootWindow(display), hostX, hostY, 300, 200, 0, 0,
                               0x00FF00);
    XMapWindow(display, host);
    XSync(display, False);
    moveTo(-hostX, -hostY); // start outside every window of the test
}

void X11TestHost::TearDown() {
    pump();
    if (!display) {
        return;
    }
    for (KeySym sym : {XK_Shift_L, XK_Control_L}) {
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, sym), False, 0);
    }
    for (unsigned b = 1; b <= 3; ++b) {
        XTestFakeButtonEvent(display, b, False, 0);
    }
    XDestroyWindow(display, host);
    XSync(display, False);
    pump();
}

void X11TestHost::pump() {
    Toolkit::LinuxPlatform::pumpEvents();
}

void X11TestHost::moveTo(int x, int y) {
    XTestFakeMotionEvent(display, -1, hostX + x, hostY + y, 0);
    XSync(display, False);
}

void X11TestHost::button(unsigned number, bool press) {
    XTestFakeButtonEvent(display, number, press, 0);
    XSync(display, False);
}

void X11TestHost::key(KeySym sym, bool press) {
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, sym), press, 0);
    XSync(display, False);
}

unsigned long X11TestHost::pixel(Window window, int x, int y) {
    XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
    const unsigned long value = image ? XGetPixel(image, 0, 0) & 0xFFFFFF : 0xDEAD;
    if (image) {
        XDestroyImage(image);
    }
    return value;
}

int X11TestHost::grabFromAnotherClient() {
    const int result = XGrabPointer(display, host, False, 0, GrabModeAsync, GrabModeAsync, None,
                                    None, CurrentTime);
    if (result == GrabSuccess) {
        XUngrabPointer(display, CurrentTime);
    }
    XSync(display, False);
    return result;
}

bool X11TestHost::isChildOfHost(Window window) {
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    bool found = false;
    if (XQueryTree(display, host, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count; ++i) {
            found = found || children[i] == window;
        }
        if (children) {
            XFree(children);
        }
    }
    return found;
}

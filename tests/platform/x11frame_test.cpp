// Guards against the X11 child window misplacing or mistranslating input, painting the wrong
// area or other pixels with and without memory shared with the server, or failing when the
// host's window goes first or another editor shares the display.

#include "cdrawcontext.h"
#include "platform/iplatformfactory.h"
#include "platform/iplatformframe.h"
#include "tests/platform/framerecorder.h"
#include "x11connection.h"
#include "x11frame.h"
#include "x11testhost.h"

#include <X11/Xutil.h>

#include <cstdint>
#include <cstring>
#include <vector>

using namespace Toolkit;
using namespace Toolkit::Testing;

namespace {

class Recorder : public FrameRecorder {
public:
    // One per paint call; the last one stays. (Not a braced list: GCC 12 warns of it as
    // uninitialised when two recorders are made in one test.)
    std::vector<CColor> colors = std::vector<CColor>(1, kRedCColor);
    bool keysUsed = true;

    // Fills the whole surface, so only the clip keeps it inside the rectangle.
    bool platformDrawRect(CDrawContext* context, const CRect& rect) override {
        drawn.push_back(rect);
        context->setFillColor(colors.front());
        if (colors.size() > 1) {
            colors.erase(colors.begin());
        }
        context->drawRect(context->surfaceRect(), kDrawFilled);
        return true;
    }
    bool platformMouseWheel(const CPoint& p, MouseWheelAxis axis, float distance,
                            const ButtonState& b) override {
        add(wheel, p, b, 0, axis * 10 + static_cast<int>(distance));
        return true;
    }
    bool platformKeyDown(VstKeyCode& k) override {
        add(keyDown, {}, 0, 0, k.virt + k.character + k.modifier * 1000);
        return keysUsed;
    }
    bool platformKeyUp(VstKeyCode& k) override {
        add(keyUp, {}, 0, 0, k.virt + k.character + k.modifier * 1000);
        return keysUsed;
    }
    void platformActivate(bool active) override { add(activate, {}, 0, 0, active); }
};

// A 120 x 80 platform frame in the host's window, reporting to a recorder.
class X11Host : public X11TestHost {
protected:
    void TearDown() override {
        if (frame) {
            frame->releaseReference();
        }
        X11TestHost::TearDown();
    }
    IPlatformFrame* open(Recorder& to, const CRect& size = CRect(0, 0, 120, 80)) {
        IPlatformFrame* made = getPlatformFactory().createFrame(&to, size, parentHandle());
        EXPECT_NE(nullptr, made->nativeHandle());
        EXPECT_TRUE(pumpUntil([&] { return !to.drawn.empty(); })) << "first paint";
        return made;
    }
    void SetUp() override {
        X11TestHost::SetUp();
        if (!HasFatalFailure()) {
            frame = open(recorder);
        }
        child = static_cast<Window>(reinterpret_cast<std::uintptr_t>(frame->nativeHandle()));
    }
    unsigned long pixel(int x, int y) { return X11TestHost::pixel(child, x, y); }

    Recorder recorder;
    IPlatformFrame* frame = nullptr;
    Window child = 0;
};

} // namespace

TEST_F(X11Host, FrameIsAPlainChildOfTheHostWindowWithTheFramesSize) {
    EXPECT_TRUE(isChildOfHost(child));
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, child, &attributes));
    EXPECT_EQ(CRect(0, 0, 120, 80),
              CRect(attributes.x, attributes.y, attributes.width, attributes.height));
    EXPECT_EQ(IsViewable, attributes.map_state);
    CPoint global;
    ASSERT_TRUE(frame->globalPosition(global));
    EXPECT_EQ(CPoint(hostX, hostY), global);
    Window focus;
    int revert;
    XGetInputFocus(display, &focus, &revert);
    EXPECT_NE(child, focus) << "opening must not take the keyboard focus";

    recorder.colors = {kBlueCColor};
    ASSERT_TRUE(frame->setSize(CRect(0, 0, 150, 90)));
    ASSERT_TRUE(pumpUntil([&] { return pixel(149, 89) == 0x0000FF; })) << "resized and repainted";
    ASSERT_TRUE(XGetWindowAttributes(display, child, &attributes));
    EXPECT_EQ(150, attributes.width);
    CRect size;
    ASSERT_TRUE(frame->size(size));
    EXPECT_EQ(CRect(0, 0, 150, 90), size);
}

TEST_F(X11Host, InvalidationRepaintsOnlyItsRectanglesEachClipped) {
    recorder.drawn.clear();
    recorder.colors = {kBlueCColor, kYellowCColor};
    frame->invalidateRect(CRect(10.5, 10.2, 29.5, 19.9)); // whole pixels: (10, 10, 30, 20)
    frame->invalidateRect(CRect(100, 60, 110, 70));
    frame->invalidateRect(CRect(-50, -50, -10, -10)); // outside the window
    ASSERT_TRUE(pumpUntil([&] { return !recorder.drawn.empty(); }));
    EXPECT_EQ((std::vector<CRect>{{10, 10, 30, 20}, {100, 60, 110, 70}}), recorder.drawn)
        << "one paint for both";
    for (auto [x, y, colour] : {std::tuple{10, 10, 0x0000FF},
                                {29, 19, 0x0000FF},
                                {100, 60, 0xFFFF00},
                                {109, 69, 0xFFFF00},
                                {30, 19, 0xFF0000},
                                {9, 10, 0xFF0000},
                                {50, 40, 0xFF0000},
                                {110, 70, 0xFF0000}}) {
        EXPECT_EQ(static_cast<unsigned long>(colour), pixel(x, y)) << x << "," << y;
    }
    recorder.drawn.clear();
    settle();
    EXPECT_TRUE(recorder.drawn.empty()) << "nothing paints without a reason";
}

// The whole window as the server has it, 32 bits per pixel.
std::vector<std::uint32_t> windowPixels(Display* display, Window window, int width, int height) {
    std::vector<std::uint32_t> pixels;
    if (XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap)) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                pixels.push_back(static_cast<std::uint32_t>(XGetPixel(image, x, y)));
            }
        }
        XDestroyImage(image);
    }
    return pixels;
}

TEST_F(X11Host, SharedMemoryAndTheSocketShowTheSamePixels) {
    // Translucent over the cleared buffer (premultiplied where the window has no alpha), then an
    // opaque part: the whole window, then one rectangle of it.
    const auto paintAndRead = [&](Recorder& to, bool shared) {
        to.colors = {CColor(200, 120, 40, 128), kBlueCColor};
        frame = open(to);
        EXPECT_EQ(shared, static_cast<LinuxPlatform::X11Frame*>(frame)->sharesBufferWithServer());
        frame->invalidateRect(CRect(30, 20, 50, 70));
        EXPECT_TRUE(pumpUntil([&] { return to.drawn.size() == 2; }));
        XSync(display, False);
        const auto window =
            static_cast<Window>(reinterpret_cast<std::uintptr_t>(frame->nativeHandle()));
        const auto pixels = windowPixels(display, window, 120, 80);
        frame->releaseReference();
        frame = nullptr;
        return pixels;
    };
    frame->releaseReference();
    frame = nullptr;
    Recorder first;
    const auto shared = paintAndRead(first, true);
    // As on a remote display: this thread's connection refuses shared memory from now on.
    LinuxPlatform::X11Connection* connection = LinuxPlatform::X11Connection::acquire();
    ASSERT_NE(nullptr, connection);
    connection->refuseSharedMemory();
    Recorder second;
    const auto copied = paintAndRead(second, false);
    connection->release();
    ASSERT_EQ(120u * 80u, shared.size());
    ASSERT_EQ(shared.size(), copied.size());
    EXPECT_EQ(0, std::memcmp(shared.data(), copied.data(), shared.size() * 4));
    EXPECT_NE(shared.front(), shared[25 * 120 + 35]) << "both paints show";
}

TEST_F(X11Host, PointerEventsCarryClientPointsAndButtonBits) {
    moveTo(20, 30);
    key(XK_Control_L, true);
    button(1, true);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(down) == 1; }));
    ButtonState now;
    frame->mouseButtons(now);
    EXPECT_EQ(leftButton | controlKey, now.value());
    key(XK_Control_L, false);
    moveTo(400, 250); // out of the window: still ours while the press is tracked
    button(1, false);
    moveTo(10, 10);
    moveTo(200, 100);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(exited) > 0; }));
    const Event first = recorder.all(down)[0], release = recorder.all(up)[0];
    EXPECT_EQ(CPoint(20, 30), first.where);
    EXPECT_EQ(leftButton | controlKey, first.buttons);
    EXPECT_EQ(CPoint(400, 250), release.where);
    EXPECT_EQ(0u, release.buttons);
    EXPECT_EQ(CPoint(200, 100), recorder.all(exited).back().where);
}

TEST_F(X11Host, WheelNotchesGiveOneUnitPerAxisWithModifiersOnly) {
    moveTo(30, 40);
    key(XK_Shift_L, true);
    for (unsigned b : {4u, 5u, 6u, 7u}) {
        button(b, true);
        button(b, false);
    }
    key(XK_Shift_L, false);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(wheel) == 4; }));
    std::vector<int> notches;
    for (const Event& e : recorder.all(wheel)) {
        notches.push_back(e.detail);
        EXPECT_EQ(CPoint(30, 40), e.where);
        EXPECT_EQ(shiftKey, e.buttons);
    }
    EXPECT_EQ((std::vector<int>{11, 9, 1, -1}), notches) << "vertical +1, -1; horizontal +1, -1";
    EXPECT_EQ(0, recorder.count(down));
}

TEST_F(X11Host, KeysArriveAsVirtualKeysWhileTheHostGivesFocus) {
    XSetInputFocus(display, child, RevertToParent, CurrentTime);
    std::vector<int> expected;
    for (auto [sym, code] : {std::pair{XK_Tab, 2},
                             {XK_Return, 4},
                             {XK_KP_Enter, 4},
                             {XK_Escape, 6},
                             {XK_Left, 11},
                             {XK_Next, 16},
                             {XK_Delete, 22},
                             {XK_KP_Add, 35},
                             {XK_F1, 40},
                             {XK_F12, 51},
                             {XK_9, 57},
                             {XK_a, 0},
                             {XK_Shift_L, 54}}) {
        if (XKeysymToKeycode(display, sym) == 0) {
            continue; // not on this keyboard map
        }
        key(sym, true);
        key(sym, false);
        if (code) {
            expected.push_back(code);
        }
    }
    key(XK_Shift_L, true); // Shift+Tab is plain tab, without modifier bits
    key(XK_Tab, true);
    key(XK_Tab, false);
    key(XK_Shift_L, false);
    expected.insert(expected.end(), {54, 2});
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(keyUp) == int(expected.size()); }));
    std::vector<int> downs;
    for (const Event& e : recorder.all(keyDown)) {
        downs.push_back(e.detail);
    }
    EXPECT_EQ(expected, downs);
    XSetInputFocus(display, host, RevertToParent, CurrentTime);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(activate) == 2; }));
    EXPECT_EQ(1, recorder.all(activate)[0].detail);
    EXPECT_EQ(0, recorder.all(activate)[1].detail);
}

TEST_F(X11Host, HeldKeyRepeatsPressesAndIsReleasedOnce) {
    XKeyboardState keyboard;
    XGetKeyboardControl(display, &keyboard);
    if (keyboard.global_auto_repeat != AutoRepeatModeOn) {
        GTEST_SKIP() << "the server does not repeat keys";
    }
    XSetInputFocus(display, child, RevertToParent, CurrentTime);
    key(XK_Return, true);
    const bool repeated = pumpUntil([&] { return recorder.count(keyDown) >= 3; });
    key(XK_Return, false);
    ASSERT_TRUE(repeated) << "no auto-repeat within the timeout";
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(keyUp) > 0; }));
    settle();
    EXPECT_EQ(1, recorder.count(keyUp)) << "a repeat must not look like letting go";
    XSetInputFocus(display, host, RevertToParent, CurrentTime);
}

TEST_F(X11Host, KeysTheFrameDoesNotUseGoOnToTheHost) {
    XSelectInput(display, host, KeyPressMask | KeyReleaseMask);
    XSetInputFocus(display, host, RevertToParent, CurrentTime);
    moveTo(30, 30); // hovering the editor: the server hands it the keys
    std::vector<KeyCode> hostGot;
    auto hostKeys = [&] {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == KeyPress && event.xkey.window == host) {
                hostGot.push_back(static_cast<KeyCode>(event.xkey.keycode));
            }
        }
        return hostGot.size();
    };
    recorder.keysUsed = false;
    key(XK_a, true); // no virtual key at all
    key(XK_a, false);
    key(XK_space, true); // offered to the frame, which declines
    key(XK_space, false);
    ASSERT_TRUE(pumpUntil([&] { return hostKeys() == 2; }));
    EXPECT_EQ(XKeysymToKeycode(display, XK_a), hostGot[0]);
    EXPECT_EQ(XKeysymToKeycode(display, XK_space), hostGot[1]);
    EXPECT_EQ(1, recorder.count(keyDown));

    recorder.keysUsed = true;
    key(XK_space, true);
    key(XK_space, false);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(keyUp) == 2; }));
    settle();
    EXPECT_EQ(2u, hostKeys()) << "a key the frame used stays with it";
}

TEST_F(X11Host, SurvivesTheHostWindowGoingFirstAndSharesTheDisplay) {
    Recorder second;
    IPlatformFrame* other = open(second, CRect(0, 0, 40, 40));
    frame->releaseReference(); // the first editor closes; the shared connection stays
    frame = nullptr;
    XSync(display, False);
    EXPECT_FALSE(isChildOfHost(child)) << "closing destroys the window";
    moveTo(20, 20);
    button(3, true);
    button(3, false);
    ASSERT_TRUE(pumpUntil([&] { return second.count(up) == 1; }));
    EXPECT_EQ(rightButton, second.all(down)[0].buttons);

    XDestroyWindow(display, host); // the host tears down its window before closing us
    host =
        XCreateSimpleWindow(display, DefaultRootWindow(display), hostX, hostY, 300, 200, 0, 0, 0);
    XMapWindow(display, host);
    settle();
    other->invalidateRect(CRect(0, 0, 10, 10));
    other->setCursor(cursorWait);
    other->setSize(CRect(0, 0, 50, 50));
    CPoint where;
    EXPECT_FALSE(other->mousePosition(where));
    pump();
    other->releaseReference();

    IPlatformFrame* orphan = getPlatformFactory().createFrame(
        &second, CRect(0, 0, 10, 10), reinterpret_cast<void*>(std::uintptr_t{0x1FFFFFF}));
    EXPECT_EQ(nullptr, orphan->nativeHandle()) << "no such parent: a frame without a window";
    EXPECT_FALSE(orphan->invalidateRect(CRect(0, 0, 5, 5)));
    orphan->releaseReference();
    recorder.drawn.clear();
    frame = open(recorder); // and the next editor opens normally
}

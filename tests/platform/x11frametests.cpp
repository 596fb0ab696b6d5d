// Guards against the X11 child window losing, misplacing or mistranslating input, painting the
// wrong area, keeping the pointer it should release, or outliving (or dying with) the host's
// window.

#include "platform/iplatformfactory.h"
#include "platform/iplatformframe.h"

#include "cdrawcontext.h"
#include "x11testhost.h"

#include <cstdint>
#include <vector>

using namespace Toolkit;

namespace {

struct Event {
    enum Kind { down, moved, up, exited, wheel, keyDown, keyUp, activate } kind;
    CPoint where;
    std::uint32_t buttons = 0;
    int axis = -1;
    float distance = 0;
    int key = 0;
    bool active = false;
};

class Recorder : public IPlatformFrameCallback {
public:
    std::vector<Event> events;
    std::vector<CRect> drawn;
    MouseResult downResult = mouseHandled;
    CColor paintColor = kRedCColor;
    std::vector<CColor> paintColors;

    int count(Event::Kind kind) const {
        int n = 0;
        for (const auto& e : events)
            n += e.kind == kind;
        return n;
    }
    const Event* last(Event::Kind kind) const {
        for (auto e = events.rbegin(); e != events.rend(); ++e)
            if (e->kind == kind)
                return &*e;
        return nullptr;
    }

    // Fills the whole surface: only the clip can keep it inside the rectangle. With more
    // than one colour queued, each call takes the next one.
    bool platformDrawRect(CDrawContext* context, const CRect& rect) override {
        drawn.push_back(rect);
        if (!paintColors.empty()) {
            paintColor = paintColors.front();
            paintColors.erase(paintColors.begin());
        }
        context->setFillColor(paintColor);
        context->drawRect(context->surfaceRect(), kDrawFilled);
        return true;
    }
    MouseResult platformMouseDown(const CPoint& where, const ButtonState& buttons) override {
        events.push_back({Event::down, where, buttons});
        return downResult;
    }
    MouseResult platformMouseMoved(const CPoint& where, const ButtonState& buttons) override {
        events.push_back({Event::moved, where, buttons});
        return mouseHandled;
    }
    MouseResult platformMouseUp(const CPoint& where, const ButtonState& buttons) override {
        events.push_back({Event::up, where, buttons});
        return mouseHandled;
    }
    MouseResult platformMouseExited(const CPoint& where, const ButtonState& buttons) override {
        events.push_back({Event::exited, where, buttons});
        return mouseHandled;
    }
    bool platformMouseWheel(const CPoint& where, MouseWheelAxis axis, float distance,
                            const ButtonState& buttons) override {
        events.push_back({Event::wheel, where, buttons, axis, distance});
        return true;
    }
    DragResult platformDrop(IDataPackage*, const CPoint&) override { return dragRefused; }
    void platformDragEnter(IDataPackage*, const CPoint&) override {}
    void platformDragLeave(IDataPackage*, const CPoint&) override {}
    void platformDragMove(IDataPackage*, const CPoint&) override {}
    bool platformKeyDown(VstKeyCode& key) override {
        events.push_back({Event::keyDown, {}, key.modifier, -1, 0, key.virt + key.character});
        return true;
    }
    bool platformKeyUp(VstKeyCode& key) override {
        events.push_back({Event::keyUp, {}, key.modifier, -1, 0, key.virt + key.character});
        return true;
    }
    void platformActivate(bool active) override {
        events.push_back({Event::activate, {}, 0, -1, 0, 0, active});
    }
};

// The host's window with one platform frame reporting to a recorder.
class X11Host : public X11TestHost {
protected:
    static constexpr int frameW = 120, frameH = 80;

    void TearDown() override {
        if (frame)
            frame->releaseReference();
        X11TestHost::TearDown();
    }

    void openFrame() {
        frame = getPlatformFactory().createFrame(&recorder, CRect(0, 0, frameW, frameH),
                                                 parentHandle());
        ASSERT_NE(nullptr, frame);
        ASSERT_NE(nullptr, frame->nativeHandle());
        child = static_cast<Window>(reinterpret_cast<std::uintptr_t>(frame->nativeHandle()));
        ASSERT_TRUE(pumpUntil([&] { return !recorder.drawn.empty(); })) << "first paint";
    }
    unsigned long pixel(int x, int y) { return X11TestHost::pixel(child, x, y); }

    Window child = 0;
    Recorder recorder;
    IPlatformFrame* frame = nullptr;
};

} // namespace

TEST_F(X11Host, FrameIsAPlainChildOfTheHostWindowWithTheFramesSize) {
    openFrame();
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    ASSERT_TRUE(XQueryTree(display, child, &root, &parent, &children, &count));
    if (children)
        XFree(children);
    EXPECT_EQ(host, parent);
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, child, &attributes));
    EXPECT_EQ(0, attributes.x);
    EXPECT_EQ(0, attributes.y);
    EXPECT_EQ(frameW, attributes.width);
    EXPECT_EQ(frameH, attributes.height);
    EXPECT_EQ(IsViewable, attributes.map_state);

    CRect size;
    ASSERT_TRUE(frame->size(size));
    EXPECT_EQ(CRect(0, 0, frameW, frameH), size);
    CPoint global;
    ASSERT_TRUE(frame->globalPosition(global));
    EXPECT_EQ(CPoint(hostX, hostY), global);

    Window focus;
    int revert;
    XGetInputFocus(display, &focus, &revert);
    EXPECT_NE(child, focus) << "opening must not take the keyboard focus";
}

TEST_F(X11Host, InvalidationRepaintsOnlyItsRectangles) {
    openFrame();
    EXPECT_EQ(0xFF0000u, pixel(0, 0));
    EXPECT_EQ(0xFF0000u, pixel(frameW - 1, frameH - 1));

    recorder.drawn.clear();
    recorder.paintColors = {kBlueCColor, kYellowCColor};
    frame->invalidateRect(CRect(10.5, 10.2, 29.5, 19.9));
    frame->invalidateRect(CRect(100, 60, 110, 70));
    frame->invalidateRect(CRect(-50, -50, -10, -10)); // outside: ignored
    ASSERT_TRUE(pumpUntil([&] { return !recorder.drawn.empty(); }));
    ASSERT_EQ(2u, recorder.drawn.size()) << "one paint for both rectangles";
    EXPECT_EQ(CRect(10, 10, 30, 20), recorder.drawn[0]);
    EXPECT_EQ(CRect(100, 60, 110, 70), recorder.drawn[1]);
    EXPECT_EQ(0x0000FFu, pixel(10, 10));
    EXPECT_EQ(0x0000FFu, pixel(29, 19));
    EXPECT_EQ(0xFFFF00u, pixel(100, 60)) << "each rectangle is drawn clipped to itself";
    EXPECT_EQ(0xFFFF00u, pixel(109, 69));
    EXPECT_EQ(0xFF0000u, pixel(30, 19));
    EXPECT_EQ(0xFF0000u, pixel(9, 10));
    EXPECT_EQ(0xFF0000u, pixel(50, 40));
    EXPECT_EQ(0xFF0000u, pixel(110, 70));

    recorder.drawn.clear();
    settle();
    EXPECT_TRUE(recorder.drawn.empty()) << "nothing paints without a reason";
}

TEST_F(X11Host, ResizeChangesTheWindowAndRepaintsAllOfIt) {
    openFrame();
    recorder.drawn.clear();
    recorder.paintColor = kBlueCColor;
    ASSERT_TRUE(frame->setSize(CRect(0, 0, 150, 90)));
    ASSERT_TRUE(pumpUntil([&] { return pixel(149, 89) == 0x0000FFu; }));
    EXPECT_EQ(0x0000FFu, pixel(0, 0));
    XWindowAttributes attributes;
    ASSERT_TRUE(XGetWindowAttributes(display, child, &attributes));
    EXPECT_EQ(150, attributes.width);
    EXPECT_EQ(90, attributes.height);
    CRect size;
    frame->size(size);
    EXPECT_EQ(CRect(0, 0, 150, 90), size);
}

TEST_F(X11Host, ClosingOneOfTwoEditorsLeavesTheOtherWorking) {
    openFrame();
    Recorder otherRecorder;
    IPlatformFrame* other =
        getPlatformFactory().createFrame(&otherRecorder, CRect(0, 0, 40, 40), parentHandle());
    ASSERT_NE(nullptr, other->nativeHandle());
    ASSERT_TRUE(pumpUntil([&] { return !otherRecorder.drawn.empty(); }));
    frame->releaseReference(); // the first editor closes; the shared connection must stay
    frame = nullptr;
    moveTo(20, 20);
    button(3, true);
    button(3, false);
    EXPECT_TRUE(pumpUntil([&] { return otherRecorder.count(Event::up) == 1; }));
    EXPECT_EQ(rightButton, otherRecorder.last(Event::down)->buttons);
    other->invalidateRect(CRect(0, 0, 5, 5));
    otherRecorder.drawn.clear();
    EXPECT_TRUE(pumpUntil([&] { return !otherRecorder.drawn.empty(); }));
    other->releaseReference();
}

TEST_F(X11Host, DragLeavingTheWindowKeepsComingUntilRelease) {
    openFrame();
    moveTo(20, 30);
    key(XK_Control_L, true);
    button(1, true);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(Event::down) == 1; }));
    EXPECT_EQ(CPoint(20, 30), recorder.last(Event::down)->where);
    EXPECT_EQ(leftButton | controlKey, recorder.last(Event::down)->buttons);
    EXPECT_EQ(AlreadyGrabbed, grabFromAnotherClient()) << "a tracked press keeps the pointer";

    ButtonState now;
    frame->mouseButtons(now);
    EXPECT_EQ(leftButton | controlKey, now.value());
    CPoint where;
    ASSERT_TRUE(frame->mousePosition(where));
    EXPECT_EQ(CPoint(20, 30), where);

    key(XK_Control_L, false);
    moveTo(400, 250); // beyond the frame and the host window
    ASSERT_TRUE(pumpUntil([&] {
        const Event* m = recorder.last(Event::moved);
        return m && m->where == CPoint(400, 250);
    }));
    EXPECT_EQ(leftButton, recorder.last(Event::moved)->buttons);
    button(1, false);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(Event::up) == 1; }));
    EXPECT_EQ(CPoint(400, 250), recorder.last(Event::up)->where);
    EXPECT_EQ(0u, recorder.last(Event::up)->buttons);
}

TEST_F(X11Host, PressNotTrackedReleasesThePointerAtOnce) {
    openFrame();
    recorder.downResult = mouseHandledNoTracking;
    moveTo(20, 30);
    button(1, true);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(Event::down) == 1; }));
    EXPECT_EQ(GrabSuccess, grabFromAnotherClient());
    moveTo(400, 250);
    button(1, false);
    settle();
    EXPECT_EQ(0, recorder.count(Event::up)) << "the release outside is not ours";
    for (const auto& e : recorder.events)
        EXPECT_FALSE(e.kind == Event::moved && e.where.x >= frameW) << "move seen outside";
}

TEST_F(X11Host, WheelNotchesGiveOneUnitPerAxisWithModifiersOnly) {
    openFrame();
    moveTo(30, 40);
    key(XK_Shift_L, true);
    for (unsigned b : {4u, 5u, 6u, 7u}) {
        button(b, true);
        button(b, false);
    }
    key(XK_Shift_L, false);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(Event::wheel) == 4; }));
    const std::pair<int, float> expected[] = {{verticalAxis, 1.0f},
                                              {verticalAxis, -1.0f},
                                              {horizontalAxis, 1.0f},
                                              {horizontalAxis, -1.0f}};
    int i = 0;
    for (const auto& e : recorder.events) {
        if (e.kind != Event::wheel)
            continue;
        EXPECT_EQ(expected[i].first, e.axis) << i;
        EXPECT_EQ(expected[i].second, e.distance) << i;
        EXPECT_EQ(CPoint(30, 40), e.where);
        EXPECT_EQ(shiftKey, e.buttons) << "modifiers only";
        ++i;
    }
    EXPECT_EQ(0, recorder.count(Event::down));
    EXPECT_EQ(0, recorder.count(Event::up));
}

TEST_F(X11Host, SecondPressNearbyWithinTheDoubleClickTimeIsADoubleClick) {
    openFrame();
    auto click = [&](int x, int y) {
        moveTo(x, y);
        button(1, true);
        button(1, false);
    };
    click(20, 20);
    click(23, 17);
    click(23, 17);
    click(40, 20); // too far from the third press
    click(40, 20);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(Event::up) == 5; }));
    std::vector<bool> doubles;
    for (const auto& e : recorder.events)
        if (e.kind == Event::down)
            doubles.push_back(e.buttons & doubleClick);
    EXPECT_EQ((std::vector<bool>{false, true, false, false, true}), doubles);
}

TEST_F(X11Host, KeysArriveAsVirtualKeysWhileTheHostGivesFocus) {
    openFrame();
    XSetInputFocus(display, child, RevertToParent, CurrentTime);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(Event::activate) == 1; }));
    EXPECT_TRUE(recorder.last(Event::activate)->active);

    const std::pair<KeySym, int> keys[] = {
        {XK_Tab, 2},   {XK_Return, 4}, {XK_KP_Enter, 4}, {XK_Escape, 6},  {XK_space, 7},
        {XK_Left, 11}, {XK_Next, 16},  {XK_Delete, 22},  {XK_KP_Add, 35}, {XK_F1, 40},
        {XK_F12, 51},  {XK_9, 57},     {XK_a, 0},        {XK_Shift_L, 54}};
    std::vector<int> expected;
    for (auto [sym, code] : keys) {
        if (XKeysymToKeycode(display, sym) == 0)
            continue; // not on this keyboard map
        key(sym, true);
        key(sym, false);
        if (code)
            expected.push_back(code);
    }
    key(XK_Shift_L, true); // Shift+Tab is still plain tab
    key(XK_Tab, true);
    key(XK_Tab, false);
    key(XK_Shift_L, false);
    expected.insert(expected.end(), {54, 2});
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(Event::keyUp) == int(expected.size()); }));
    std::vector<int> downs, ups;
    for (const auto& e : recorder.events) {
        if (e.kind == Event::keyDown)
            downs.push_back(e.key);
        if (e.kind == Event::keyUp)
            ups.push_back(e.key);
        if (e.kind == Event::keyDown || e.kind == Event::keyUp) {
            EXPECT_EQ(0u, e.buttons) << "no modifier bits";
        }
    }
    EXPECT_EQ(expected, downs);

    XSetInputFocus(display, host, RevertToParent, CurrentTime);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(Event::activate) == 2; }));
    EXPECT_FALSE(recorder.last(Event::activate)->active);
}

TEST_F(X11Host, PointerLeavingWithoutPressReportsExit) {
    openFrame();
    moveTo(10, 10);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(Event::moved) > 0; }));
    moveTo(200, 100);
    ASSERT_TRUE(pumpUntil([&] { return recorder.count(Event::exited) == 1; }));
    EXPECT_EQ(CPoint(200, 100), recorder.last(Event::exited)->where);
}

TEST_F(X11Host, ReleasingTheFrameDestroysItsWindow) {
    openFrame();
    frame->releaseReference();
    frame = nullptr;
    XSync(display, False);
    Window root, parent, *children = nullptr;
    unsigned count = 99;
    ASSERT_TRUE(XQueryTree(display, host, &root, &parent, &children, &count));
    if (children)
        XFree(children);
    EXPECT_EQ(0u, count);
}

TEST_F(X11Host, HostDestroyingItsWindowFirstIsSurvived) {
    openFrame();
    frame->setCursor(cursorHand);
    XDestroyWindow(display, host);
    XSync(display, False);
    host =
        XCreateSimpleWindow(display, DefaultRootWindow(display), hostX, hostY, 300, 200, 0, 0, 0);
    XMapWindow(display, host);
    settle();
    // Everything on the dead window is harmless, then the next editor opens normally.
    frame->invalidateRect(CRect(0, 0, 10, 10));
    frame->setCursor(cursorWait);
    frame->setSize(CRect(0, 0, 50, 50));
    CPoint where;
    EXPECT_FALSE(frame->mousePosition(where));
    pump();
    frame->releaseReference();
    frame = nullptr;
    recorder.drawn.clear();
    openFrame();
}

TEST_F(X11Host, ParentThatIsNoWindowGivesAnInertFrame) {
    IPlatformFrame* orphan = getPlatformFactory().createFrame(
        &recorder, CRect(0, 0, 10, 10), reinterpret_cast<void*>(std::uintptr_t{0x1FFFFFF}));
    ASSERT_NE(nullptr, orphan);
    EXPECT_EQ(nullptr, orphan->nativeHandle());
    EXPECT_FALSE(orphan->invalidateRect(CRect(0, 0, 5, 5)));
    CRect size;
    EXPECT_FALSE(orphan->size(size));
    pump();
    EXPECT_TRUE(recorder.drawn.empty());
    orphan->releaseReference();
    openFrame(); // the shared connection is still good
}

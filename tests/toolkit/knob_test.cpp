// Guards knob dragging: wrong pixel scale, a value jump when a modifier changes mid-drag,
// a change on a bare press, a wrong mode choice or a knob that wraps across its dead zone.

#include "testfixture.h"
#include "toolkit/cknob.h"

using namespace Toolkit;
using namespace Toolkit::Testing;

using Log = std::vector<std::string>;

class Knob : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        knob = new CKnob(CRect(0, 0, 100, 100), &listener, 3, nullptr, nullptr);
        frame->addView(knob);
    }
    void drag(std::initializer_list<CPoint> points, std::uint32_t buttons) {
        auto it = points.begin();
        frame->platformMouseDown(*it, buttons);
        for (++it; it != points.end(); ++it) {
            frame->platformMouseMoved(*it, buttons);
        }
    }
    RecordingListener listener{log};
    CKnob* knob = nullptr;
};

TEST_F(Knob, LinearDragScale) {
    editor.knobMode = linearMode;
    knob->setValue(0.2f);
    drag({{50, 60}, {50, -40}}, leftButton); // 100 px up
    EXPECT_NEAR(knob->value(), 0.7f, 1e-6);
    frame->platformMouseUp({50, -40}, 0);

    knob->setValue(0.0f);
    drag({{50, 50}, {100, 0}}, leftButton | shiftKey); // 50 up + 50 right, fine
    EXPECT_NEAR(knob->value(), 1.0f / 3.0f, 1e-6);
    frame->platformMouseUp({100, 0}, 0);
}

TEST_F(Knob, ModifierChangeMidDragDoesNotJump) {
    editor.knobMode = linearMode;
    knob->setValue(0.0f);
    drag({{50, 50}, {50, 10}}, leftButton);
    EXPECT_NEAR(knob->value(), 0.2f, 1e-6);
    // The move that brings the change still runs at the old rate; later ones at the new.
    frame->platformMouseMoved({50, 9}, leftButton | shiftKey);
    EXPECT_NEAR(knob->value(), 0.205f, 1e-6);
    frame->platformMouseMoved({50, -21}, leftButton | shiftKey);
    EXPECT_NEAR(knob->value(), 0.305f, 1e-6);
    frame->platformMouseMoved({50, -22}, leftButton);
    EXPECT_NEAR(knob->value(), 0.305f + 1.0f / 300.0f, 1e-6);
}

TEST_F(Knob, PressWithoutMoveChangesNothingAndReleaseClosesTheEdit) {
    knob->setValue(0.4f);
    for (std::int32_t mode : {circularMode, linearMode}) {
        editor.knobMode = mode;
        EXPECT_EQ(frame->platformMouseDown({97, 50}, leftButton), mouseHandled);
        EXPECT_FLOAT_EQ(knob->value(), 0.4f);
        frame->platformMouseUp({97, 50}, 0);
    }
    EXPECT_EQ(log.entries,
              (Log{"listener.began", "editor.begin 3", "editor.end 3", "listener.ended",
                   "listener.began", "editor.begin 3", "editor.end 3", "listener.ended"}));
}

TEST_F(Knob, AltSwitchesBetweenLinearAndCircular) {
    // At (97, 50) the circular value is 5/6; a linear drag there has moved 0 px.
    editor.knobMode = linearMode;
    knob->setValue(0.0f);
    drag({{50, 3}, {97, 50}}, leftButton | altKey);
    EXPECT_NEAR(knob->value(), 5.0f / 6.0f, 1e-5);
    frame->platformMouseUp({97, 50}, 0);

    editor.knobMode = relativeCircularMode;
    knob->setValue(0.0f);
    drag({{50, 3}, {97, 50}}, leftButton | altKey);
    EXPECT_FLOAT_EQ(knob->value(), 0.0f);
    frame->platformMouseUp({97, 50}, 0);
}

TEST_F(Knob, CircularDragPinsAtTheEndItCameFromAcrossTheDeadZone) {
    editor.knobMode = circularMode;
    knob->setValue(0.5f);
    drag({{97, 50}, {96, 50}}, leftButton);
    EXPECT_NEAR(knob->value(), 5.0f / 6.0f, 0.01);
    frame->platformMouseMoved({30, 97}, leftButton); // across the bottom gap
    EXPECT_FLOAT_EQ(knob->value(), 1.0f);
    frame->platformMouseMoved({3, 50}, leftButton); // left: 1/6, still pinned
    EXPECT_FLOAT_EQ(knob->value(), 1.0f);
    frame->platformMouseMoved({97, 45}, leftButton); // back on the right side
    EXPECT_LT(knob->value(), 0.9f);
    EXPECT_GT(knob->value(), 0.8f);
}

TEST_F(Knob, ControlClickResetsInsideTheKnobsOwnEditAndIsNotTracked) {
    knob->setValue(0.2f);
    EXPECT_EQ(frame->platformMouseDown({50, 50}, leftButton | controlKey), mouseHandledNoTracking);
    EXPECT_EQ(frame->mouseDownView(), nullptr);
    EXPECT_FLOAT_EQ(knob->value(), 0.5f);
    EXPECT_EQ(log.entries, (Log{"listener.began", "editor.begin 3", "listener.began",
                                "editor.begin 3", "changed 0.5", "editor.end 3", "listener.ended",
                                "editor.end 3", "listener.ended"}));
    log.clear();
    frame->platformMouseDown({50, 50}, leftButton | controlKey);
    EXPECT_EQ(log.entries,
              (Log{"listener.began", "editor.begin 3", "editor.end 3", "listener.ended"}));
}

TEST_F(Knob, WheelAndArrowKeysStepByWheelStep) {
    knob->setValue(0.5f);
    EXPECT_TRUE(frame->platformMouseWheel({50, 50}, verticalAxis, 1.0f, 0));
    EXPECT_NEAR(knob->value(), 0.6f, 1e-6);
    frame->platformMouseWheel({50, 50}, verticalAxis, -1.0f, shiftKey);
    EXPECT_NEAR(knob->value(), 0.59f, 1e-6);
    EXPECT_EQ(log.entries, (Log{"listener.began", "editor.begin 3", "changed 0.6", "editor.end 3",
                                "listener.ended", "listener.began", "editor.begin 3",
                                "changed 0.59", "editor.end 3", "listener.ended"}));
    VstKeyCode up{0, VKEY_UP, MODIFIER_SHIFT};
    EXPECT_EQ(knob->keyDown(up), 1);
    EXPECT_NEAR(knob->value(), 0.6f, 1e-6);
    VstKeyCode ret{0, VKEY_RETURN, 0};
    EXPECT_EQ(knob->keyDown(ret), -1);
    knob->setValue(1.0f);
    knob->markDirty(false); // drawn
    log.clear();
    frame->platformMouseWheel({50, 50}, verticalAxis, 1.0f, 0);
    EXPECT_TRUE(log.entries.empty()) << "no report when the value cannot move";
}

TEST_F(Knob, SecondButtonDuringADragClosesTheEdit) {
    editor.knobMode = linearMode;
    drag({{50, 50}, {50, 40}}, leftButton);
    frame->platformMouseDown({50, 40}, leftButton | rightButton);
    frame->platformMouseUp({50, 40}, leftButton);
    frame->platformMouseUp({50, 40}, 0);
    EXPECT_EQ(log.entries, (Log{"listener.began", "editor.begin 3", "changed 0.05", "editor.end 3",
                                "listener.ended"}));
}

TEST_F(Knob, CircularValueRespectsARangeNotStartingAtZero) {
    knob->setMaxValue(20.0f);
    knob->setMinValue(10.0f);
    drag({{97, 50}, {96, 50}}, leftButton);
    EXPECT_NEAR(knob->value(), 10.0f + 10.0f * 5.0f / 6.0f, 0.1);
    frame->platformMouseMoved({50, 97}, leftButton); // the dead zone, from the top end
    EXPECT_FLOAT_EQ(knob->value(), 20.0f);
}

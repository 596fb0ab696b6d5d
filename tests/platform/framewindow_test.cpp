// Guards against a toolkit frame in a real host window that misses or misroutes input, or
// whose screen shows other filmstrip frames than its controls' values.

#include "canimknob.h"
#include "cbitmap.h"
#include "ccontrollistener.h"
#include "cframe.h"
#include "conoffbutton.h"
#include "toolkiteditorinterface.h"
#include "x11testhost.h"

#include <vector>

using namespace Toolkit;

namespace {

constexpr unsigned long kGrey = 0x808080, kRed = 0xFF0000, kBlue = 0x0000FF, kBlack = 0,
                        kWhite = 0xFFFFFF;

struct Editor : ToolkitEditorInterface {
    std::vector<int> began, ended;
    std::int32_t getKnobMode() const override { return 2; } // linear
    void beginEdit(std::int32_t index) override { began.push_back(index); }
    void endEdit(std::int32_t index) override { ended.push_back(index); }
};

struct Listener : CControlListener {
    std::vector<std::pair<int, float>> changes;
    void valueChanged(CControl* control) override {
        changes.emplace_back(control->tag(), control->value());
    }
};

// A 120 x 80 frame: grey background, a knob at (10, 10, 30, 30) with tag 3 and a switch at
// (60, 10, 80, 30) with tag 4.
class FrameWindow : public X11TestHost {
protected:
    void SetUp() override {
        X11TestHost::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        frame = new CFrame(CRect(0, 0, 120, 80), parentHandle(), &editor);
        auto* background = new CBitmap(CResourceRef(10));
        auto* strip = new CBitmap(CResourceRef(11));
        auto* toggle = new CBitmap(CResourceRef(12));
        ASSERT_EQ(60.0, strip->height());
        frame->setBackground(background);
        knob = new CAnimKnob(CRect(10, 10, 30, 30), &listener, 3, 3, 20, strip);
        toggleSwitch = new COnOffButton(CRect(60, 10, 80, 30), &listener, 4, toggle);
        frame->addView(knob);
        frame->addView(toggleSwitch);
        for (CBaseObject* o :
             {static_cast<CBaseObject*>(background), static_cast<CBaseObject*>(strip),
              static_cast<CBaseObject*>(toggle)}) {
            o->releaseReference();
        }
        ASSERT_NE(nullptr, frame->platformFrame());
        window = static_cast<Window>(
            reinterpret_cast<std::uintptr_t>(frame->platformFrame()->nativeHandle()));
        ASSERT_TRUE(pumpUntil([&] { return at(70, 70) == kGrey; })) << "first paint";
    }
    void TearDown() override {
        // Destroying the frame also drops the creator's references to its controls.
        if (frame) {
            frame->releaseReference();
        }
        X11TestHost::TearDown();
    }
    unsigned long at(int x, int y) { return pixel(window, x, y); }
    // Lets the frame turn dirty controls into redraws, as the editor's idle does.
    bool idleUntil(unsigned long colour, int x, int y) {
        return pumpUntil([&] {
            frame->idle();
            return at(x, y) == colour;
        });
    }

    Editor editor;
    Listener listener;
    CFrame* frame = nullptr;
    CAnimKnob* knob = nullptr;
    COnOffButton* toggleSwitch = nullptr;
    Window window = 0;
};

} // namespace

TEST_F(FrameWindow, ScreenShowsBackgroundAndEachControlsFrame) {
    EXPECT_TRUE(isChildOfHost(window));
    EXPECT_EQ(kRed, at(10, 10)) << "knob at 0: first frame";
    EXPECT_EQ(kRed, at(29, 29));
    EXPECT_EQ(kBlack, at(60, 10)) << "switch off";
    EXPECT_EQ(kGrey, at(9, 10));
    EXPECT_EQ(kGrey, at(30, 30));
    EXPECT_EQ(kGrey, at(119, 79));

    knob->setValue(1.0f); // as the host's automation would: silent, redrawn at idle
    EXPECT_TRUE(idleUntil(kBlue, 20, 20));
    EXPECT_TRUE(listener.changes.empty());

    frame->releaseReference(); // what the editor's close does
    frame = nullptr;
    XSync(display, False);
    EXPECT_FALSE(isChildOfHost(window));
}

TEST_F(FrameWindow, KnobDragGoesOnOutsideTheWindowAndEndsTheEditOnRelease) {
    moveTo(20, 20);
    button(1, true);
    ASSERT_TRUE(pumpUntil([&] { return editor.began.size() == 1; }));
    moveTo(270, -hostY); // up and far right, out of the window: the knob must still follow
    ASSERT_TRUE(pumpUntil([&] { return knob->value() == 1.0f; }));
    EXPECT_TRUE(editor.ended.empty()) << "still pressed";
    EXPECT_TRUE(pumpUntil([&] { return at(20, 20) == kBlue; })) << "redrawn during the drag";
    button(1, false);
    ASSERT_TRUE(pumpUntil([&] { return editor.ended.size() == 1; }));
    EXPECT_EQ(std::vector<int>{3}, editor.began);
    EXPECT_EQ(std::vector<int>{3}, editor.ended);
    ASSERT_FALSE(listener.changes.empty());
    EXPECT_EQ(3, listener.changes.back().first);
    EXPECT_EQ(1.0f, listener.changes.back().second);
    EXPECT_EQ(kGrey, at(20, 31)) << "only the knob changed";
}

TEST_F(FrameWindow, SwitchClickTogglesWithoutHoldingThePointer) {
    moveTo(70, 20);
    button(1, true);
    ASSERT_TRUE(pumpUntil([&] { return toggleSwitch->value() == 1.0f; }));
    EXPECT_EQ(GrabSuccess, grabFromAnotherClient()) << "an untracked press is not captured";
    button(1, false);
    EXPECT_TRUE(pumpUntil([&] { return at(70, 20) == kWhite; }));
    EXPECT_EQ(kRed, at(20, 20));
    ASSERT_EQ(1u, listener.changes.size());
    EXPECT_EQ(4, listener.changes[0].first);
}

TEST_F(FrameWindow, SideButtonLetGoOutsideTheWindowDoesNotStickToLaterPresses) {
    moveTo(20, 20);
    button(8, true); // no control takes it, so the pointer is not held for its release
    pumpUntil([] { return false; }, 50);
    moveTo(250, 150); // outside the frame, inside the host
    button(8, false);
    moveTo(20, 20);
    button(1, true);
    moveTo(20, 0);
    button(1, false);
    EXPECT_TRUE(pumpUntil([&] { return editor.ended.size() == 1; })) << "the knob refused the drag";
    EXPECT_GT(knob->value(), 0.0f);
}

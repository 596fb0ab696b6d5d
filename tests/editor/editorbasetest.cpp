// Guards the editor base against mistimed idle passes (including across the tick counter's
// wrap), lost or misrouted host and toolkit requests, and edit messages for non-parameters.
#include "aeffguieditor.h"
#include "audioeffectx.h"
#include "recordinghost.h"
#include "toolkit/canimknob.h"
#include "toolkit/cframe.h"
#include "toolkit/ckickbutton.h"
#include "toolkit/conoffbutton.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace Toolkit;

namespace {

class PlainEffect : public AudioEffectX {
public:
    explicit PlainEffect(audioMasterCallback host) : AudioEffectX(host, 1, 10) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

class FakeClock : public EditorClock {
public:
    std::uint32_t now = 0;
    std::vector<std::uint32_t> waits;
    std::uint32_t ticks() override { return now; }
    void wait(std::uint32_t ms) override {
        waits.push_back(ms);
        now += ms;
    }
};

// Counts the redraw passes the editor asks of it.
class CountingFrame : public CFrame {
public:
    using CFrame::CFrame;
    int idles = 0;
    void idle() override {
        ++idles;
        CFrame::idle();
    }
};

class TestEditor : public AEffGUIEditor {
public:
    explicit TestEditor(AudioEffect* effect) : AEffGUIEditor(effect) { rect = {0, 0, 475, 270}; }
    ~TestEditor() override { close(); }
    // A frame without a window: everything but the pixels.
    bool open(void* ptr) override {
        AEffGUIEditor::open(ptr);
        counting = new CountingFrame(CRect(0, 0, 270, 475), nullptr, this);
        frame = counting;
        return true;
    }
    void close() override {
        if (frame)
            frame->releaseReference();
        frame = nullptr;
        counting = nullptr;
    }
    std::uint32_t& nextPass() { return lastTicks; }
    CountingFrame* counting = nullptr;
};

class EditorBaseTest : public ::testing::Test {
protected:
    RecordingHost host;
    // The effect owns and deletes the editor.
    std::unique_ptr<PlainEffect> effect = std::make_unique<PlainEffect>(RecordingHost::callback());
    TestEditor* editor = new TestEditor(effect.get());
    FakeClock clock;

    void SetUp() override { editor->setClock(&clock); }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        AEffect* record = effect->getAeffect();
        return record->dispatcher(record, opcode, index, value, ptr, opt);
    }
    std::size_t hostIdles() const { return host.callsWith(audioMasterIdle).size(); }
};

TEST_F(EditorBaseTest, AttachesItselfAndAnswersItsRectangleBeforeOpen) {
    EXPECT_EQ(effect->getEditor(), editor);
    EXPECT_TRUE(effect->getAeffect()->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->bottom, 475);
    EXPECT_EQ(rect->right, 270);
    EXPECT_FALSE(editor->getRect(nullptr));
}

TEST_F(EditorBaseTest, IdlePassRunsAtMostEveryHundredMilliseconds) {
    editor->open(reinterpret_cast<void*>(1));
    clock.now = 1000;
    editor->nextPass() = 1000;
    editor->doIdleStuff();
    EXPECT_EQ(editor->counting->idles, 1);
    EXPECT_EQ(hostIdles(), 1u);
    EXPECT_EQ(editor->nextPass(), 1100u);
    EXPECT_TRUE(clock.waits.empty());

    // 70 ms early: waits 4 ms, is still 66 early, no pass.
    clock.now = 1030;
    editor->doIdleStuff();
    EXPECT_EQ(clock.waits, std::vector<std::uint32_t>{4});
    EXPECT_EQ(editor->counting->idles, 1);
    EXPECT_EQ(hostIdles(), 1u);
    EXPECT_EQ(editor->nextPass(), 1100u);

    // 40 ms early: waits 4 ms and runs, timed from before the wait plus 4.
    clock.now = 1060;
    editor->doIdleStuff();
    EXPECT_EQ(editor->counting->idles, 2);
    EXPECT_EQ(hostIdles(), 2u);
    EXPECT_EQ(editor->nextPass(), 1164u);
}

TEST_F(EditorBaseTest, IdleEarlinessLimitIsFiftyMillisecondsAfterTheWait) {
    editor->open(reinterpret_cast<void*>(1));
    editor->nextPass() = 5000;
    clock.now = 5000 - 54; // 50 early after the wait: runs
    editor->doIdleStuff();
    EXPECT_EQ(hostIdles(), 1u);
    editor->nextPass() = 5000;
    clock.now = 5000 - 55; // 51 early after the wait: skipped
    editor->doIdleStuff();
    EXPECT_EQ(hostIdles(), 1u);
}

TEST_F(EditorBaseTest, IdleTimingHoldsAcrossTheTickWrap) {
    editor->open(reinterpret_cast<void*>(1));
    // A pass just before the wrap schedules the next one past it.
    clock.now = 0xFFFFFFC0u;
    editor->nextPass() = clock.now;
    editor->doIdleStuff();
    EXPECT_EQ(editor->nextPass(), 0x24u);
    clock.now = 0xFFFFFFD0u; // 84 ms early, not late
    editor->doIdleStuff();
    EXPECT_EQ(hostIdles(), 1u);

    // Due just before the wrap, asked just after it: late, so it runs (a plain unsigned
    // comparison would hold it back for 49 days).
    editor->nextPass() = 0xFFFFFFF0u;
    clock.now = 5;
    editor->doIdleStuff();
    EXPECT_EQ(hostIdles(), 2u);
    EXPECT_EQ(editor->nextPass(), 105u);
}

TEST_F(EditorBaseTest, IdleInsideTheHostsIdleCallLeavesTheFrameAlone) {
    editor->idle(); // no frame: nothing to do, nothing to fail
    editor->open(reinterpret_cast<void*>(1));
    int nestedFrameIdles = -1;
    host.responder = [&](const HostCall& call, VstIntPtr&) {
        if (call.opcode == audioMasterIdle) {
            const int before = editor->counting->idles;
            dispatch(effEditIdle);
            nestedFrameIdles = editor->counting->idles - before;
        }
        return false;
    };
    editor->nextPass() = clock.now;
    editor->doIdleStuff();
    EXPECT_EQ(nestedFrameIdles, 0);
    dispatch(effEditIdle);
    EXPECT_EQ(editor->counting->idles, 2);
}

TEST_F(EditorBaseTest, KeysAreHandledOnlyWhenTheFrameAnswersOneOrMore) {
    ::VstKeyCode returnKey{0, VKEY_RETURN, 0};
    EXPECT_FALSE(editor->onKeyDown(returnKey)); // closed
    editor->open(reinterpret_cast<void*>(1));
    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_RETURN), 0); // no focus view: -1

    auto* toggle = new COnOffButton(CRect(0, 0, 20, 20), nullptr, 3);
    auto* kick = new CKickButton(CRect(30, 0, 50, 20), nullptr, 4, nullptr);
    editor->getFrame()->addView(toggle);
    editor->getFrame()->addView(kick);
    editor->getFrame()->setFocusView(toggle);
    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_RETURN), 1);
    EXPECT_EQ(toggle->value(), 1.0f);
    EXPECT_EQ(dispatch(effEditKeyDown, 'a', 0), 0);
    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_RETURN, nullptr, 1.0f), 0); // with Shift
    EXPECT_EQ(dispatch(effEditKeyUp, 0, VKEY_RETURN), 0); // a toggle takes no key-up

    editor->getFrame()->setFocusView(kick);
    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_RETURN), 1);
    EXPECT_EQ(dispatch(effEditKeyUp, 0, VKEY_RETURN), 1);
    // Tab moves the focus between the two.
    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_TAB), 1);
    EXPECT_EQ(editor->getFrame()->focusView(), toggle);
}

TEST_F(EditorBaseTest, WheelGoesToTheControlUnderThePointer) {
    EXPECT_FALSE(editor->onWheel(1.0f));
    editor->open(reinterpret_cast<void*>(1));
    EXPECT_FALSE(editor->onWheel(1.0f)); // nothing under the pointer
    // Without a window the pointer reads as (0, 0).
    auto* away = new CAnimKnob(CRect(100, 100, 120, 120), nullptr, 1, 1, 0, nullptr);
    editor->getFrame()->addView(away);
    EXPECT_FALSE(editor->onWheel(1.0f));
    auto* under = new CAnimKnob(CRect(0, 0, 20, 20), nullptr, 2, 1, 0, nullptr);
    under->setValue(0.5f);
    editor->getFrame()->addView(under);
    EXPECT_TRUE(editor->onWheel(1.0f));
    EXPECT_FLOAT_EQ(under->value(), 0.6f);
    EXPECT_FLOAT_EQ(away->value(), 0.0f);
}

TEST_F(EditorBaseTest, OnlyTheBasesOwnSetKnobModeChangesTheMode) {
    auto other = std::make_unique<PlainEffect>(RecordingHost::callback());
    auto* second = new TestEditor(other.get());
    EXPECT_TRUE(editor->setKnobMode(AEffGUIEditor::KnobMode::circular));
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 0);
    EXPECT_EQ(editor->getKnobMode(), 0);
    EXPECT_TRUE(editor->setKnobMode(AEffGUIEditor::KnobMode::linear));
    EXPECT_EQ(second->getKnobMode(), 2);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 0), 0);
    EXPECT_EQ(second->getKnobMode(), 2);
    // Through the frame, as the knobs ask.
    editor->open(reinterpret_cast<void*>(1));
    EXPECT_EQ(editor->getFrame()->knobMode(), 2);
    editor->setKnobMode(AEffGUIEditor::KnobMode::circular);
}

TEST_F(EditorBaseTest, SizeChangeAsksTheHostWithTruncatedSize) {
    VstIntPtr hostAgrees = 1;
    host.responder = [&](const HostCall& call, VstIntPtr& answer) {
        if (call.opcode == audioMasterCanDo) {
            answer = std::strcmp(static_cast<const char*>(call.ptr), "sizeWindow") == 0;
            return true;
        }
        if (call.opcode == audioMasterSizeWindow) {
            answer = hostAgrees;
            return true;
        }
        return false;
    };
    const CRect wanted(10, 20, 310.9, 220.2);
    EXPECT_TRUE(editor->beforeSizeChange(wanted, CRect()));
    auto sized = host.callsWith(audioMasterSizeWindow);
    ASSERT_EQ(sized.size(), 1u);
    EXPECT_EQ(sized[0].index, 300);
    EXPECT_EQ(sized[0].value, 200);

    // A refusal stops the frame's size change.
    hostAgrees = 0;
    editor->open(reinterpret_cast<void*>(1));
    EXPECT_FALSE(editor->getFrame()->setSize(300, 200));
    EXPECT_EQ(editor->getFrame()->bounds().width(), 270);
    hostAgrees = 1;
    EXPECT_TRUE(editor->getFrame()->setSize(300, 200));
    EXPECT_EQ(editor->getFrame()->bounds().width(), 300);
}

TEST_F(EditorBaseTest, SizeChangeWithoutHostSupportIsAllowed) {
    EXPECT_TRUE(editor->beforeSizeChange(CRect(0, 0, 300, 200), CRect()));
    EXPECT_TRUE(host.callsWith(audioMasterSizeWindow).empty());
}

TEST_F(EditorBaseTest, EditBracketsReachTheHostOnlyForParameters) {
    for (std::int32_t index : {-1, 0, 9, 10, 11}) {
        editor->beginEdit(index);
        editor->endEdit(index);
    }
    const auto begins = host.callsWith(audioMasterBeginEdit);
    const auto ends = host.callsWith(audioMasterEndEdit);
    ASSERT_EQ(begins.size(), 2u);
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(begins[0].index, 0);
    EXPECT_EQ(begins[1].index, 9);
    EXPECT_EQ(ends[1].index, 9);
}

} // namespace

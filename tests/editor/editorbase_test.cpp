// Guards the editor base against mistimed idle passes (including across the tick counter's
// wrap), lost or misrouted host and toolkit requests, and edit messages for non-parameters.
#include "aeffguieditor.h"
#include "audioeffectx.h"
#include "recordinghost.h"
#include "toolkit/cframe.h"
#include "toolkit/ckickbutton.h"
#include "toolkit/conoffbutton.h"
#include "toolkit/platform/editorsupport.h"
#include "toolkit/platform/iplatformfactory.h"

#include <gtest/gtest.h>

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
        if (frame) {
            frame->releaseReference();
        }
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

    void SetUp() override {
        editor->setClock(&clock);
        editor->open(reinterpret_cast<void*>(1));
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        AEffect* record = effect->getAeffect();
        return record->dispatcher(record, opcode, index, value, ptr, opt);
    }
    std::size_t hostIdles() const { return host.callsWith(audioMasterIdle).size(); }
};

TEST_F(EditorBaseTest, AnswersItsRectangleWhetherOpenOrNot) {
    editor->close();
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->bottom, 475);
    EXPECT_EQ(rect->right, 270);
    EXPECT_FALSE(editor->getRect(nullptr));
    // Closed, every forwarding request is refused harmlessly.
    ::VstKeyCode key{0, VKEY_RETURN, 0};
    EXPECT_FALSE(editor->onKeyDown(key));
    EXPECT_FALSE(editor->onWheel(1.0f));
    editor->idle();
}

// (now, next pass before the call) -> whether a pass runs, the next pass after it.
TEST_F(EditorBaseTest, IdlePassesAreAboutAHundredMillisecondsApart) {
    struct Case {
        std::uint32_t now, due;
        bool runs;
        std::uint32_t dueAfter;
    };
    const Case cases[] = {
        {1000, 1000, true, 1100},               // due
        {1030, 1100, false, 1100},              // 70 early: 66 after the wait
        {1046, 1100, true, 1150},               // 54 early: 50 after the wait, from now + 4
        {1045, 1100, false, 1100},              // 55 early: 51 after the wait
        {0xFFFFFFC0u, 0xFFFFFFC0u, true, 0x24}, // next pass scheduled past the wrap
        {0xFFFFFFD0u, 0x24, false, 0x24},       // 84 early across the wrap, not late
        {5, 0xFFFFFFF0u, true, 105},            // 21 late across the wrap
    };
    std::size_t passes = 0;
    for (const Case& c : cases) {
        clock.now = c.now;
        clock.waits.clear();
        editor->nextPass() = c.due;
        const int frameIdles = editor->counting->idles;
        editor->doIdleStuff();
        passes += c.runs;
        EXPECT_EQ(hostIdles(), passes) << c.now;
        EXPECT_EQ(editor->counting->idles - frameIdles, c.runs ? 1 : 0) << c.now;
        EXPECT_EQ(editor->nextPass(), c.dueAfter) << c.now;
        EXPECT_EQ(clock.waits, (c.now == c.due || c.now == 5 ? std::vector<std::uint32_t>{}
                                                             : std::vector<std::uint32_t>{4}))
            << c.now;
    }
}

TEST_F(EditorBaseTest, IdleInsideTheHostsIdleCallLeavesTheFrameAlone) {
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
    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_RETURN), 0); // no focus view: -1
    auto* toggle = new COnOffButton(CRect(0, 0, 20, 20), nullptr, 3);
    auto* kick = new CKickButton(CRect(30, 0, 50, 20), nullptr, 4, nullptr);
    editor->getFrame()->addView(toggle);
    editor->getFrame()->addView(kick);
    editor->getFrame()->setFocusView(toggle);
    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_RETURN), 1);
    EXPECT_EQ(toggle->value(), 1.0f);
    EXPECT_EQ(dispatch(effEditKeyDown, 'a', 0), 0);
    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_RETURN, nullptr, 1.0f), 0); // Shift held
    EXPECT_EQ(dispatch(effEditKeyUp, 0, VKEY_RETURN), 0);                  // a toggle ignores it
    EXPECT_EQ(dispatch(effEditKeyDown, 0, VKEY_TAB), 1);
    EXPECT_EQ(editor->getFrame()->focusView(), kick);
    EXPECT_EQ(dispatch(effEditKeyUp, 0, VKEY_RETURN), 1);
}

TEST_F(EditorBaseTest, EditBracketsReachTheHostOnlyForParameters) {
    for (std::int32_t index : {-1, 0, 9, 10, 11}) {
        editor->getFrame()->beginEdit(index);
        editor->getFrame()->endEdit(index);
    }
    std::vector<std::pair<VstInt32, VstInt32>> told;
    for (const HostCall& call : host.calls()) {
        told.emplace_back(call.opcode, call.index);
    }
    EXPECT_EQ(told, (std::vector<std::pair<VstInt32, VstInt32>>{{audioMasterBeginEdit, 0},
                                                                {audioMasterEndEdit, 0},
                                                                {audioMasterBeginEdit, 9},
                                                                {audioMasterEndEdit, 9}}));
}

// The pedal editor's bitmaps come from the toolkit's default factory, made before its frame.
TEST_F(EditorBaseTest, HandsItsPlatformToTheToolkit) {
    EXPECT_EQ(&editor->platformFactory(), &EditorSupport::platformFactory());
    EXPECT_EQ(&getPlatformFactory(), &editor->platformFactory());
}

} // namespace

// Guards the bitmap controls: the wrong filmstrip frame, an on/off button that toggles
// twice or treats almost-max as on, and a kick button whose press and release the editor
// cannot tell apart.

#include "testfixture.h"
#include "toolkit/canimknob.h"
#include "toolkit/ckickbutton.h"
#include "toolkit/conoffbutton.h"

using namespace Toolkit;
using namespace Toolkit::Testing;

using Log = std::vector<std::string>;

namespace {
double drawnSourceY(CControl* control) {
    RecordingContext ctx(CRect(0, 0, 300, 200));
    control->draw(&ctx);
    EXPECT_EQ(ctx.bitmaps.size(), 1u);
    return ctx.bitmaps.empty() ? -1.0 : ctx.bitmaps[0].source.y;
}
} // namespace

class Buttons : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        factory().resources[1] = CPoint(119, 45 * 119);
        factory().resources[2] = CPoint(30, 40);
        strip = new CBitmap(CResourceRef(1));
        twoImages = new CBitmap(CResourceRef(2));
    }
    void TearDown() override {
        FrameTest::TearDown();
        strip->releaseReference();
        twoImages->releaseReference();
    }
    RecordingListener listener{log};
    CBitmap* strip = nullptr;
    CBitmap* twoImages = nullptr;
};

TEST_F(Buttons, FilmstripFrameFollowsTheValue) {
    auto* knob = new CAnimKnob(CRect(0, 0, 119, 119), &listener, 0, 0, 119, strip);
    frame->addView(knob);
    EXPECT_EQ(knob->imageCount(), 45);
    const std::pair<float, int> cases[] = {{0.0f, 0}, {0.5f, 22}, {0.999f, 43}, {1.0f, 44}};
    for (auto [value, image] : cases) {
        knob->setValue(value);
        EXPECT_EQ(drawnSourceY(knob), image * 119.0) << "value " << value;
    }
    knob->setInverted(true);
    knob->setValue(0.0f);
    EXPECT_EQ(drawnSourceY(knob), 44 * 119.0);
    knob->setImageHeight(0.5); // below one pixel: must not divide by zero
    EXPECT_EQ(drawnSourceY(knob), 0.0);
    auto* missing = new CBitmap(CResourceRef(99));
    EXPECT_EQ(missing->width(), 0.0);
    EXPECT_EQ(missing->platformBitmap(), nullptr);
    missing->releaseReference();
}

TEST_F(Buttons, ValueStoredWhileDrawingIsDrawnAtTheNextIdle) {
    // Stands for a host thread whose parameter change lands between reading the value and
    // clearing the dirty state.
    struct Interrupting : RecordingContext {
        using RecordingContext::RecordingContext;
        void drawBitmap(CBitmap* b, const CRect& d, const CPoint& o, float a) override {
            RecordingContext::drawBitmap(b, d, o, a);
            if (target) {
                target->setValue(newValue);
            }
            target = nullptr;
        }
        CControl* target = nullptr;
        float newValue = 0.0f;
    };
    auto* knob = new CAnimKnob(CRect(0, 0, 119, 119), &listener, 0, 0, 119, strip);
    auto* button = new COnOffButton(CRect(150, 0, 180, 20), &listener, 1, twoImages);
    auto* kick = new CKickButton(CRect(150, 50, 180, 70), &listener, 2, twoImages);
    const auto controls = {static_cast<CControl*>(knob), static_cast<CControl*>(button),
                           static_cast<CControl*>(kick)};
    for (CControl* c : controls) {
        frame->addView(c);
    }
    RecordingContext clean(CRect(0, 0, 300, 200));
    frame->draw(&clean);
    for (CControl* c : controls) {
        Interrupting ctx(CRect(0, 0, 300, 200));
        ctx.target = c;
        ctx.newValue = 1.0f;
        c->draw(&ctx);
        EXPECT_TRUE(c->isDirty()) << c->tag();
        platform->invalidated.clear();
        frame->idle();
        EXPECT_EQ(platform->invalidated, std::vector<CRect>{c->bounds()}) << c->tag();
    }
}

TEST_F(Buttons, OnOffTogglesOncePerClickAndOnlyMaxIsOn) {
    auto* button = new COnOffButton(CRect(0, 0, 30, 20), &listener, 4, twoImages);
    frame->addView(button);
    button->setValue(0.999f);
    EXPECT_EQ(drawnSourceY(button), 0.0) << "0.999 shows the off image";
    EXPECT_EQ(frame->platformMouseDown({5, 5}, leftButton), mouseHandledNoTracking);
    frame->platformMouseUp({5, 5}, 0);
    EXPECT_FLOAT_EQ(button->value(), 1.0f);
    EXPECT_EQ(drawnSourceY(button), 20.0);
    frame->platformMouseDown({5, 5}, leftButton);
    EXPECT_FLOAT_EQ(button->value(), 0.0f);
    EXPECT_EQ(listener.values, (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(frame->platformMouseDown({5, 5}, rightButton), mouseNotHandled);
}

TEST_F(Buttons, KickButtonPressDragOutAndReleaseAsTheListenerSeesThem) {
    struct PressWatcher : CControlListener {
        explicit PressWatcher(EventLog& l) : log(l) {}
        void valueChanged(CControl* c) override {
            log.add("changed " + std::to_string(int(c->value())) + " pressed " +
                    std::to_string(static_cast<CKickButton*>(c)->pressed));
        }
        void editBegan(CControl*) override { log.add("listener.began"); }
        void editEnded(CControl*) override { log.add("listener.ended"); }
        EventLog& log;
    } watcher(log);
    auto* kick = new CKickButton(CRect(10, 10, 40, 30), &watcher, 9, twoImages);
    frame->addView(kick);

    EXPECT_EQ(frame->platformMouseDown({20, 20}, leftButton), mouseHandled);
    EXPECT_EQ(drawnSourceY(kick), 20.0);
    frame->platformMouseMoved({80, 80}, leftButton);
    EXPECT_FLOAT_EQ(kick->value(), 0.0f);
    EXPECT_EQ(drawnSourceY(kick), 0.0) << "released image while outside";
    frame->platformMouseUp({80, 80}, 0);
    EXPECT_FALSE(kick->pressed);
    EXPECT_EQ(log.entries, (Log{"listener.began", "editor.begin 9", "changed 1 pressed 0",
                                "changed 0 pressed 1", "editor.end 9", "listener.ended"}));

    log.clear();
    VstKeyCode ret{0, VKEY_RETURN, 0};
    EXPECT_EQ(kick->keyUp(ret), 1);
    EXPECT_EQ(log.entries, Log{"changed 0 pressed 0"}) << "no end without a begin";
    log.clear();
    kick->keyDown(ret);
    kick->keyDown(ret); // auto-repeat
    kick->keyUp(ret);
    EXPECT_EQ(log.entries, (Log{"listener.began", "editor.begin 9", "changed 1 pressed 0",
                                "changed 0 pressed 0", "editor.end 9", "listener.ended"}));
}

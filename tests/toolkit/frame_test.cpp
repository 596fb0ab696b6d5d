// Guards the frame's event routing and lifetime: presses must be captured exactly when
// handled, hover, wheel and keys must reach the right view, redraws must coalesce, and the
// frame must survive an editor that closes inside an event.

#include "testfixture.h"
#include "toolkit/conoffbutton.h"
#include "toolkit/ctoolkittimer.h"
#include "toolkit/cviewcontainer.h"
#include "toolkit/idleviewupdater.h"

using namespace Toolkit;
using namespace Toolkit::Testing;

using Frame = FrameTest;
using Log = std::vector<std::string>;

TEST_F(Frame, HandledPressCapturesMovesUntilRelease) {
    addProbe(CRect(0, 0, 50, 50), "a");
    ProbeView* b = addProbe(CRect(100, 0, 150, 50), "b");
    b->movedResult = mouseNotHandled;
    EXPECT_EQ(frame->platformMouseDown({10, 10}, leftButton), mouseHandled);
    frame->platformMouseMoved({120, 10}, leftButton);  // over b
    frame->platformMouseMoved({-40, 500}, leftButton); // outside the window
    frame->platformMouseExited({-40, 500}, leftButton);
    frame->platformMouseUp({-40, 500}, 0);
    EXPECT_EQ(log.entries, (Log{"a.down (10,10)", "a.moved (120,10) 2", "a.moved (-40,500) 2",
                                "a.up (-40,500)"}));
    log.clear();
    frame->platformMouseMoved({120, 10}, 0);
    EXPECT_EQ(log.entries, (Log{"b.entered", "b.moved (120,10) 0"}));
}

TEST_F(Frame, NoTrackingPressIsNotCapturedAndHoverMovesCarryModifiersOnly) {
    ProbeView* a = addProbe(CRect(0, 0, 50, 50), "a");
    a->downResult = mouseHandledNoTracking;
    EXPECT_EQ(frame->platformMouseDown({10, 10}, leftButton | shiftKey), mouseHandledNoTracking);
    EXPECT_EQ(frame->mouseDownView(), nullptr);
    frame->platformMouseMoved({12, 10}, leftButton | shiftKey);
    EXPECT_EQ(log.entries, (Log{"a.down (10,10)", "a.entered", "a.moved (12,10) 16"}));
}

TEST_F(Frame, HoverTracksEnterAndExitThroughNestedContainers) {
    struct Box : CViewContainer {
        Box(const CRect& r, EventLog& l) : CViewContainer(r), log(l) {}
        MouseResult mouseEntered(const CPoint&, const ButtonState&) override {
            log.add("box.entered");
            return mouseHandled;
        }
        MouseResult mouseExited(const CPoint&, const ButtonState&) override {
            log.add("box.exited");
            return mouseHandled;
        }
        EventLog& log;
    };
    auto* box = new Box(CRect(100, 100, 200, 200), log);
    frame->addView(box);
    box->addView(new ProbeView(CRect(0, 0, 20, 20), "inner", log));
    ProbeView* a = addProbe(CRect(0, 0, 50, 50), "a");
    a->movedResult = mouseNotHandled;

    frame->platformMouseMoved({10, 10}, 0);
    frame->platformMouseMoved({105, 105}, 0);
    frame->platformMouseMoved({150, 150}, 0); // still in the box, off the inner view
    frame->platformMouseExited({300, 300}, 0);
    EXPECT_EQ(log.entries,
              (Log{"a.entered", "a.moved (10,10) 0", "a.exited", "box.entered", "inner.entered",
                   "inner.moved (5,5) 0", "inner.exited", "box.exited"}));
    EXPECT_TRUE(frame->mouseViews().empty());
}

TEST_F(Frame, ExitDuringPressChangesNothing) {
    addProbe(CRect(0, 0, 50, 50), "a");
    frame->platformMouseMoved({10, 10}, 0);
    frame->platformMouseDown({10, 10}, leftButton);
    log.clear();
    frame->platformMouseExited({400, 10}, leftButton);
    EXPECT_TRUE(log.entries.empty());
    EXPECT_EQ(frame->mouseViews().size(), 1u);
}

TEST_F(Frame, WheelGoesOnlyToTheTopmostChildUnderThePointer) {
    ProbeView* below = addProbe(CRect(0, 0, 100, 100), "below");
    ProbeView* above = addProbe(CRect(0, 0, 50, 50), "above");
    above->takesWheel = false;
    below->setTransparent(true);
    above->setTransparent(true); // even a transparent top view ends the search
    EXPECT_FALSE(frame->platformMouseWheel({10, 10}, verticalAxis, 1.0f, 0));
    EXPECT_TRUE(frame->platformMouseWheel({80, 80}, horizontalAxis, 1.0f, 0));
    EXPECT_FALSE(frame->platformMouseWheel({250, 150}, verticalAxis, 1.0f, 0));
    EXPECT_EQ(log.entries, (Log{"above.wheel 1", "above.entered", "below.wheel -1", "above.exited",
                                "below.entered"}));
}

TEST_F(Frame, TwoValueChangesBetweenIdlesGiveOneInvalidation) {
    auto* button = new COnOffButton(CRect(10, 20, 30, 40));
    frame->addView(button);
    RecordingContext ctx(CRect(0, 0, 300, 200));
    frame->idle();
    platform->paint(ctx);
    frame->idle();
    EXPECT_TRUE(platform->invalidated.empty()) << "nothing changed since the paint";

    button->setValue(0.3f);
    button->setValue(0.6f);
    frame->idle();
    frame->idle();
    EXPECT_EQ(platform->invalidated, std::vector<CRect>{CRect(10, 20, 30, 40)});
}

TEST_F(Frame, TabMovesFocusAndFocusViewGetsKeysFirst) {
    ProbeView* a = addProbe(CRect(0, 0, 10, 10), "a");
    VstKeyCode tab{0, VKEY_TAB, 0};
    EXPECT_EQ(frame->keyDown(tab), -1) << "nothing accepts focus";
    a->setAcceptsFocus(true);
    ProbeView* b = addProbe(CRect(20, 0, 30, 10), "b");
    b->setAcceptsFocus(true);
    EXPECT_EQ(frame->keyDown(tab), 1);
    EXPECT_EQ(frame->focusView(), a);
    VstKeyCode up{0, VKEY_UP, 0};
    a->keyResult = 1;
    EXPECT_TRUE(frame->platformKeyDown(up));
    a->keyResult = -1;
    EXPECT_EQ(frame->keyDown(tab), 1);
    EXPECT_EQ(frame->focusView(), b);
    VstKeyCode backTab{0, VKEY_TAB, MODIFIER_SHIFT};
    frame->keyDown(backTab);
    EXPECT_EQ(frame->focusView(), a);
    frame->onActivate(false);
    EXPECT_EQ(frame->focusView(), nullptr);
    frame->onActivate(true);
    EXPECT_EQ(frame->focusView(), a);
    frame->removeView(a);
    EXPECT_EQ(frame->focusView(), nullptr);
}

TEST_F(Frame, FocusMovedFromInsideFocusLostIsGainedOnce) {
    struct Focusable : ProbeView {
        using ProbeView::ProbeView;
        void focusLost() override {
            log.add(name + ".lost");
            if (handOver) {
                frame()->setFocusView(handOver);
            }
        }
        void focusGained() override { log.add(name + ".gained"); }
        CView* handOver = nullptr;
    };
    auto* a = new Focusable(CRect(0, 0, 10, 10), "a", log);
    auto* b = new Focusable(CRect(20, 0, 30, 10), "b", log);
    for (Focusable* v : {a, b}) {
        v->setAcceptsFocus(true);
        frame->addView(v);
    }
    frame->setFocusView(a);
    a->handOver = b;
    log.clear();
    frame->setFocusView(nullptr); // a hands the focus to b while losing it
    EXPECT_EQ(frame->focusView(), b);
    EXPECT_EQ(log.entries, (Log{"a.lost", "b.gained"}));
}

TEST_F(Frame, EditorClosingInsideAnEventDestroysTheFrameAfterTheCall) {
    struct Closer : ProbeView {
        using ProbeView::ProbeView;
        MouseResult mouseDown(const CPoint&, const ButtonState&) override {
            CFrame* f = frame();
            f->releaseReference(); // the editor drops its frame
            log.add(f->isAttached() ? "frame alive" : "frame gone");
            return mouseHandled;
        }
    };
    bool platformGone = false;
    bool viewGone = false;
    platform->destroyedFlag = &platformGone;
    auto* closer = new Closer(CRect(0, 0, 50, 50), "c", log);
    closer->destroyedFlag = &viewGone;
    frame->addView(closer);
    frame->platformMouseDown({5, 5}, leftButton);
    frame = nullptr;
    EXPECT_EQ(log.entries, Log{"frame alive"});
    EXPECT_TRUE(platformGone);
    EXPECT_TRUE(viewGone);
}

TEST_F(Frame, IdleViewsAreTickedByOneTimerThatStopsWithTheLastView) {
    ProbeView* a = addProbe(CRect(0, 0, 10, 10), "a");
    EXPECT_EQ(IdleViewUpdater::instance(), nullptr);
    a->setWantsIdle(true);
    ASSERT_NE(IdleViewUpdater::instance(), nullptr);
    ASSERT_EQ(factory().timers.size(), 1u);
    EXPECT_EQ(factory().timers[0]->interval, 33u);
    factory().fireTimers();
    factory().fireTimers();
    EXPECT_EQ(log.entries, (Log{"a.idle", "a.idle"}));
    frame->removeView(a);
    EXPECT_EQ(IdleViewUpdater::instance(), nullptr);
    EXPECT_TRUE(factory().timers.empty());
    EXPECT_EQ(CToolkitTimer::runningCount(), 0u);
}

// Guards the view tree against lost or dangling references, wrong hit order and wrong
// coordinate, clip and alpha arithmetic when containers are nested.

#include "testfixture.h"
#include "toolkit/cviewcontainer.h"

using namespace Toolkit;
using namespace Toolkit::Testing;

using ViewTree = FrameTest;

TEST_F(ViewTree, ContainerHoldsOneReferencePerChild) {
    auto* v = new ProbeView(CRect(0, 0, 10, 10), "v", log);
    EXPECT_TRUE(frame->addView(v));
    EXPECT_EQ(v->referenceCount(), 2);
    EXPECT_FALSE(frame->addView(v)) << "an attached view must not be added twice";
    EXPECT_TRUE(frame->removeView(v, false));
    EXPECT_EQ(v->referenceCount(), 1);
    EXPECT_FALSE(v->isAttached());
    EXPECT_FALSE(frame->removeView(v, false));

    bool destroyed = false;
    v->destroyedFlag = &destroyed;
    frame->addView(v);
    frame->removeAll(true);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(frame->viewCount(), 0);
}

TEST_F(ViewTree, ViewRemovedDuringItsPressSurvivesTheCallAndIsNotCaptured) {
    ProbeView* v = addProbe(CRect(0, 0, 50, 50), "v");
    bool destroyed = false;
    v->destroyedFlag = &destroyed;
    v->removeSelfOnDown = true;
    EXPECT_EQ(frame->platformMouseDown({5, 5}, leftButton), mouseHandled);
    EXPECT_TRUE(destroyed) << "the dispatch reference must be the last one";
    EXPECT_EQ(frame->mouseDownView(), nullptr);
    EXPECT_EQ(frame->platformMouseMoved({6, 6}, leftButton), mouseNotHandled);
}

TEST_F(ViewTree, ViewRemovedDuringItsPressIsNotCapturedEvenWhenStillReferenced) {
    struct Remover : ProbeView {
        using ProbeView::ProbeView;
        MouseResult mouseDown(const CPoint&, const ButtonState&) override {
            parentView()->removeView(this, false);
            return mouseHandled;
        }
    };
    // The creator keeps its reference, so the count alone cannot tell that it left.
    auto* r = new Remover(CRect(60, 0, 100, 50), "r", log);
    frame->addView(r);
    frame->platformMouseDown({70, 5}, leftButton);
    EXPECT_EQ(frame->mouseDownView(), nullptr);
    EXPECT_EQ(r->referenceCount(), 1);
    r->releaseReference();
}

TEST_F(ViewTree, LaterChildIsHitFirstAndOnlyTransparentOnesPassThrough) {
    ProbeView* below = addProbe(CRect(0, 0, 100, 100), "below");
    ProbeView* above = addProbe(CRect(50, 50, 150, 150), "above");
    above->downResult = mouseNotHandled;

    frame->mouseDown({100, 100}, leftButton); // bottom-right edge of `below` still hits it
    EXPECT_EQ(log.entries, std::vector<std::string>{"above.down (100,100)"});

    log.clear();
    above->setTransparent(true);
    EXPECT_EQ(frame->mouseDown({100, 100}, leftButton), mouseHandled);
    EXPECT_EQ(log.entries,
              (std::vector<std::string>{"above.down (100,100)", "below.down (100,100)"}));

    frame->mouseUp({100, 100}, 0);
    log.clear();
    below->setAlpha(0.0f);
    EXPECT_EQ(frame->mouseDown({20, 20}, leftButton), mouseNotHandled);
    EXPECT_TRUE(log.entries.empty()) << "a fully transparent view is not hit";
}

TEST_F(ViewTree, NestedContainersPassLocalCoordinates) {
    auto* box = new CViewContainer(CRect(100, 50, 200, 150));
    frame->addView(box);
    auto* v = new ProbeView(CRect(10, 20, 40, 50), "v", log);
    box->addView(v);
    frame->mouseDown({115, 75}, leftButton);
    EXPECT_EQ(log.entries, std::vector<std::string>{"v.down (15,25)"});
    CPoint p(115, 75);
    v->frameToLocal(p);
    EXPECT_EQ(p, CPoint(15, 25));
    EXPECT_EQ(frame->viewAtPoint({115, 75}, true), v);
    EXPECT_EQ(frame->viewAtPoint({115, 75}, false), box);
    EXPECT_EQ(frame->containerAtPoint({115, 75}, true), box);
    EXPECT_EQ(frame->containerAtPoint({5, 5}, true), frame);
}

TEST_F(ViewTree, NestedDrawingAppliesOffsetClipAndAlpha) {
    factory().resources[7] = CPoint(40, 40);
    auto* bmp = new CBitmap(CResourceRef(7));
    auto* box = new CViewContainer(CRect(100, 50, 200, 150));
    box->setTransparent(true);
    box->setAlpha(0.5f);
    frame->addView(box);
    auto* inside = new CView(CRect(10, 20, 40, 50));
    inside->setBackground(bmp);
    inside->setAlpha(0.5f);
    box->addView(inside);
    auto* outside = new CView(CRect(150, 0, 190, 40)); // beyond the box's own size
    outside->setBackground(bmp);
    box->addView(outside);

    RecordingContext ctx(CRect(0, 0, 300, 200));
    frame->drawInRect(&ctx, CRect(0, 0, 120, 300));
    ASSERT_EQ(ctx.bitmaps.size(), 1u);
    const BitmapDraw& d = ctx.bitmaps[0];
    EXPECT_EQ(d.dest, CRect(110, 70, 140, 100));
    EXPECT_EQ(d.clip, CRect(110, 70, 120, 100)) << "clipped to the update rectangle";
    EXPECT_FLOAT_EQ(d.alpha, 0.25f);
    EXPECT_EQ(ctx.rects, std::vector<CRect>{CRect(0, 0, 300, 200)})
        << "only the frame paints its colour; the transparent box with an opaque one does not";
    EXPECT_EQ(ctx.offset(), CPoint(0, 0));
    EXPECT_EQ(ctx.clipRect(), ctx.surfaceRect());
    EXPECT_FLOAT_EQ(ctx.globalAlpha(), 1.0f);
    bmp->releaseReference();
}

TEST_F(ViewTree, ClipReadBackUnderAnOffsetIsInCallerCoordinates) {
    RecordingContext ctx(CRect(0, 0, 300, 200));
    ctx.setOffset({10, 20});
    ctx.setClipRect(CRect(5, 5, 50, 60));
    EXPECT_EQ(ctx.clipRect(), CRect(5, 5, 50, 60));
    EXPECT_EQ(ctx.deviceClipRect(), CRect(15, 25, 60, 80));
    ctx.saveGlobalState();
    ctx.setGlobalAlpha(0.5f);
    ctx.restoreGlobalState();
    ctx.restoreGlobalState(); // unbalanced: ignored
    EXPECT_FLOAT_EQ(ctx.globalAlpha(), 1.0f);
}

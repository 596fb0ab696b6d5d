#pragma once

#include "ccolor.h"
#include "cview.h"

#include <vector>

namespace Toolkit {

// A view holding child views in its own coordinates. Children are kept in a doubly linked
// list, one reference each: drawn first to last, hit last to first.
class CViewContainer : public CView {
public:
    CViewContainer(const CRect& bounds, CBitmap* background = nullptr);
    CViewContainer(const CViewContainer& other);
    ~CViewContainer() override;

    MessageResult handleMessage(CBaseObject* sender, IdStringPtr message) override;
    bool isKindOf(const char* className) const override;
    CBaseObject* clone() const override { return new CViewContainer(*this); }
    void draw(CDrawContext* context) override;
    void drawInRect(CDrawContext* context, const CRect& updateRect) override;
    bool isDirty() const override;
    void invalidateRect(const CRect& rect) override;
    void invalidate() override;
    MouseResult mouseDown(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseUp(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseMoved(const CPoint& where, const ButtonState& buttons) override;
    bool containsPoint(const CPoint& where, const ButtonState& buttons) const override;
    bool wheelOnAxis(const CPoint& where, MouseWheelAxis axis, float distance,
                     const ButtonState& buttons) override;
    bool wheel(const CPoint& where, float distance, const ButtonState& buttons) override;
    bool onDrop(IDataPackage* drag, const CPoint& where) override;
    void onDragEnter(IDataPackage* drag, const CPoint& where) override;
    void onDragLeave(IDataPackage* drag, const CPoint& where) override;
    void onDragMove(IDataPackage* drag, const CPoint& where) override;
    void setBounds(const CRect& rect, bool redraw = true) override;
    void parentResized() override;
    CPoint& frameToLocal(CPoint& point) const override;
    CPoint& localToFrame(CPoint& point) const override;
    bool fitToContent() override { return false; }
    void focusLost() override;
    void focusGained() override;
    bool detachedFrom(CViewContainer* parent) override;
    bool attachedTo(CViewContainer* parent) override;

    virtual bool addViewBefore(CView* view, CView* before);
    virtual bool addViewWithArea(CView* view, const CRect& mouseArea, bool mouseEnabled = true);
    virtual bool addView(CView* view);
    // withRelease also drops the creator's reference (usually destroying the view).
    virtual bool removeView(CView* view, bool withRelease = true);
    virtual bool removeAll(bool withRelease = true);
    virtual bool isChild(const CView* view, bool deep) const;
    virtual bool isChild(const CView* view) const { return isChild(view, false); }
    virtual std::int32_t viewCount() const { return childCount; }
    virtual CView* viewAt(std::int32_t index) const;
    virtual CView* viewAtPoint(const CPoint& where, bool deep = false) const;
    virtual CViewContainer* containerAtPoint(const CPoint& where, bool deep = true) const;
    virtual bool viewsAtPoint(const CPoint& where, std::vector<CView*>& views,
                              bool deep = true) const;
    virtual bool changeViewOrder(CView* view, std::int32_t newIndex);
    virtual void setResizeChildren(bool resize) { setFlag(kAutosizeSubviews, resize); }
    virtual void setBackgroundColor(const CColor& color);
    virtual CColor backgroundColor() const { return bgColor; }
    virtual void setBackgroundOffset(const CPoint& offset) { bgOffset = offset; }
    virtual const CPoint& backgroundOffset() const { return bgOffset; }
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& rect);
    // Moves the focus to the next (or previous) view accepting focus; true when it moved.
    virtual bool advanceFocus(CView* from, bool reverse);
    virtual bool invalidateDirtyViews();
    // The part of `rect` (in this container's coordinates) that the enclosing views show.
    virtual CRect visibleBoundsOf(const CRect& rect) const;
    virtual bool childNeedsRedraw(CView* child, const CRect& rect) const;
    virtual bool anyChildContains(const CPoint& where, const ButtonState& buttons) const;

    CView* mouseDownView() const { return mouseDownChild; }
    bool resizesChildren() const { return hasFlag(kAutosizeSubviews); }
    // Children in drawing order (first to last); a snapshot, no references taken.
    std::vector<CView*> children() const;
    // Views that accept focus, depth first, in drawing order.
    void collectFocusViews(std::vector<CView*>& views) const;

protected:
    struct Node {
        CView* view;
        Node* next;
        Node* previous;
    };

    CPoint toLocal(const CPoint& where) const {
        return CPoint(where.x - bounds().left, where.y - bounds().top);
    }
    Node* findNode(const CView* view) const;
    void unlink(Node* node);
    void clearMouseDownView() { mouseDownChild = nullptr; }
    void setMouseDownView(CView* view) { mouseDownChild = view; }

    Node* first = nullptr;
    Node* last = nullptr;
    std::int32_t childCount = 0;

private:
    // Puts `node` into the list before `at`, at the end when `at` is null.
    void linkBefore(Node* node, Node* at);
    // Takes `view` into the list before `at` (at the end when null) with one reference, and
    // attaches it when this container is attached.
    void adopt(CView* view, Node* at);
    // Offers an event to the shown children that `hits`, topmost first: `offer` answers whether
    // the child took it. The walk stops there or at an opaque child (answering true) and goes
    // on below a transparent one while that child is still in the list.
    template <typename Hits, typename Offer> bool offerTopDown(Hits hits, Offer offer);

    CColor bgColor = kBlackCColor;
    CPoint bgOffset;
    CRect lastDrawnFocus;
    CView* dragChild = nullptr;
    CView* mouseDownChild = nullptr;
};

} // namespace Toolkit

#include "cviewcontainer.h"

#include "cbitmap.h"
#include "ccontrol.h"
#include "cdrawcontext.h"
#include "cframe.h"

namespace Toolkit {

CViewContainer::CViewContainer(const CRect& bounds, CBitmap* background) : CView(bounds) {
    if (background) {
        CView::setBackground(background);
    }
    markDirty(true);
    setFlag(kAutosizeSubviews, true);
}

CViewContainer::CViewContainer(const CViewContainer& other)
    : CView(other), bgColor(other.bgColor), bgOffset(other.bgOffset) {
    for (CView* child : other.children()) {
        auto* copy = dynamic_cast<CView*>(child->clone());
        if (!copy) {
            continue;
        }
        addView(copy);
        copy->releaseReference(); // the container's reference is the only one
    }
}

CViewContainer::~CViewContainer() {
    CViewContainer::removeAll(true);
}

MessageResult CViewContainer::handleMessage(CBaseObject* sender, IdStringPtr message) {
    if (message == kMsgCheckIfViewContainer) {
        return messageNotified;
    }
    return CView::handleMessage(sender, message);
}

bool CViewContainer::isKindOf(const char* className) const {
    return nameIs(className, "CViewContainer") || CView::isKindOf(className);
}

std::vector<CView*> CViewContainer::children() const {
    std::vector<CView*> list;
    list.reserve(static_cast<std::size_t>(childCount));
    for (Node* n = first; n; n = n->next) {
        list.push_back(n->view);
    }
    return list;
}

CViewContainer::Node* CViewContainer::findNode(const CView* view) const {
    for (Node* n = first; n; n = n->next) {
        if (n->view == view) {
            return n;
        }
    }
    return nullptr;
}

void CViewContainer::linkBefore(Node* node, Node* at) {
    node->next = at;
    node->previous = at ? at->previous : last;
    (node->previous ? node->previous->next : first) = node;
    (at ? at->previous : last) = node;
}

void CViewContainer::adopt(CView* view, Node* at) {
    linkBefore(new Node{view, nullptr, nullptr}, at);
    ++childCount;
    view->addReference();
    if (isAttached()) {
        view->attachedTo(this);
        view->invalidate();
    }
}

void CViewContainer::unlink(Node* node) {
    (node->previous ? node->previous->next : first) = node->next;
    (node->next ? node->next->previous : last) = node->previous;
    --childCount;
    delete node;
}

// ---- Tree -------------------------------------------------------------------------------

bool CViewContainer::addView(CView* view) {
    if (!view || view->isAttached()) {
        return false;
    }
    adopt(view, nullptr);
    return true;
}

bool CViewContainer::addViewBefore(CView* view, CView* before) {
    if (!view || view->isAttached()) {
        return false;
    }
    if (!first) {
        return addView(view);
    }
    Node* at = first;
    while (at->view != before && at->next) {
        at = at->next;
    }
    adopt(view, at);
    return true;
}

bool CViewContainer::addViewWithArea(CView* view, const CRect& area, bool mouseEnabled) {
    if (!addView(view)) {
        return false;
    }
    view->setMouseEnabled(mouseEnabled);
    view->setMouseArea(area);
    return true;
}

bool CViewContainer::removeView(CView* view, bool withRelease) {
    if (view && view == mouseDownChild) {
        mouseDownChild = nullptr;
    }
    if (view && view == dragChild) {
        dragChild = nullptr;
    }
    Node* node = findNode(view);
    if (!node) {
        return false;
    }
    view->invalidate();
    if (isAttached()) {
        view->detachedFrom(this);
    }
    // The detach may have re-entered and removed the view already.
    node = findNode(view);
    if (!node) {
        return true;
    }
    unlink(node);
    if (withRelease) {
        view->releaseReference();
    }
    view->releaseReference();
    return true;
}

bool CViewContainer::removeAll(bool withRelease) {
    mouseDownChild = nullptr;
    dragChild = nullptr;
    // Take the whole list first so that calls made while detaching see an empty container.
    Node* n = first;
    first = last = nullptr;
    childCount = 0;
    while (n) {
        Node* next = n->next;
        CView* view = n->view;
        delete n;
        if (view->isAttached()) {
            view->detachedFrom(this);
        }
        if (withRelease) {
            view->releaseReference();
        }
        view->releaseReference();
        n = next;
    }
    return true;
}

bool CViewContainer::isChild(const CView* view, bool deep) const {
    for (Node* n = first; n; n = n->next) {
        if (n->view == view) {
            return true;
        }
        if (deep) {
            auto* c = dynamic_cast<const CViewContainer*>(n->view);
            if (c && c->isChild(view, true)) {
                return true;
            }
        }
    }
    return false;
}

CView* CViewContainer::viewAt(std::int32_t index) const {
    if (index < 0) {
        return nullptr;
    }
    Node* n = first;
    for (; n && index > 0; --index) {
        n = n->next;
    }
    return n ? n->view : nullptr;
}

bool CViewContainer::changeViewOrder(CView* view, std::int32_t newIndex) {
    Node* node = findNode(view);
    if (!node || newIndex < 0 || newIndex >= childCount) {
        return false;
    }
    (node->previous ? node->previous->next : first) = node->next;
    (node->next ? node->next->previous : last) = node->previous;
    Node* at = first;
    for (std::int32_t i = 0; at && i < newIndex; ++i) {
        at = at->next;
    }
    linkBefore(node, at);
    return true;
}

bool CViewContainer::attachedTo(CViewContainer* parent) {
    if (!CView::attachedTo(parent)) {
        return false;
    }
    for (CView* child : children()) {
        child->attachedTo(this);
    }
    return true;
}

bool CViewContainer::detachedFrom(CViewContainer* parent) {
    if (!isAttached()) {
        return false;
    }
    for (CView* child : children()) {
        child->detachedFrom(this);
    }
    return CView::detachedFrom(parent);
}

// ---- Hit testing ------------------------------------------------------------------------

CView* CViewContainer::viewAtPoint(const CPoint& where, bool deep) const {
    const CPoint local = toLocal(where);
    for (Node* n = last; n; n = n->previous) {
        CView* v = n->view;
        if (!v->isShown() || !v->mouseArea().pointInside(local)) {
            continue;
        }
        if (deep) {
            if (auto* c = dynamic_cast<CViewContainer*>(v)) {
                return c->viewAtPoint(local, true);
            }
        }
        return v;
    }
    return nullptr;
}

CViewContainer* CViewContainer::containerAtPoint(const CPoint& where, bool deep) const {
    const CPoint local = toLocal(where);
    for (Node* n = last; n; n = n->previous) {
        CView* v = n->view;
        if (!v->isShown() || !v->mouseArea().pointInside(local)) {
            continue;
        }
        if (auto* c = dynamic_cast<CViewContainer*>(v)) {
            return deep ? c->containerAtPoint(local, true) : c;
        }
        break;
    }
    return const_cast<CViewContainer*>(this);
}

bool CViewContainer::viewsAtPoint(const CPoint& where, std::vector<CView*>& views,
                                  bool deep) const {
    const CPoint local = toLocal(where);
    bool found = false;
    for (Node* n = last; n; n = n->previous) {
        CView* v = n->view;
        if (!v->isShown() || !v->mouseArea().pointInside(local)) {
            continue;
        }
        views.push_back(v);
        found = true;
        if (deep) {
            if (auto* c = dynamic_cast<CViewContainer*>(v)) {
                c->viewsAtPoint(local, views, true);
            }
        }
    }
    return found;
}

bool CViewContainer::containsPoint(const CPoint& where, const ButtonState& buttons) const {
    if (!CView::containsPoint(where, buttons)) {
        return false;
    }
    // A transparent container takes only the points that one of its children takes.
    return !isTransparent() || anyChildContains(where, buttons);
}

bool CViewContainer::anyChildContains(const CPoint& where, const ButtonState& buttons) const {
    const CPoint local = toLocal(where);
    for (Node* n = last; n; n = n->previous) {
        if (n->view->isShown() && n->view->containsPoint(local, buttons)) {
            return true;
        }
    }
    return false;
}

// ---- Mouse ------------------------------------------------------------------------------

template <typename Hits, typename Offer> bool CViewContainer::offerTopDown(Hits hits, Offer offer) {
    for (Node* n = last; n; n = n->previous) {
        CView* child = n->view;
        if (!child->isShown() || !hits(child)) {
            continue;
        }
        SharedGuard<CView> hold(child);
        if (offer(child) || !child->isTransparent()) {
            return true;
        }
        // Continue below a transparent child; the list may have changed meanwhile.
        n = findNode(child);
        if (!n) {
            return false;
        }
    }
    return false;
}

MouseResult CViewContainer::mouseDown(const CPoint& where, const ButtonState& buttons) {
    const CPoint local = toLocal(where);
    MouseResult result = mouseNotHandled;
    const auto hits = [&](CView* child) {
        return child->isMouseEnabled() && child->containsPoint(local, buttons);
    };
    const bool stopped = offerTopDown(hits, [&](CView* child) {
        if (buttons.modifiers() != 0) {
            auto* control = dynamic_cast<CControl*>(child);
            if (control && control->listener() &&
                control->listener()->modifierClicked(control, buttons) != 0) {
                result = mouseHandled;
                return true;
            }
        }
        if (child->acceptsFocus() && frame()) {
            frame()->setFocusView(child);
        }
        result = child->mouseDown(local, buttons);
        if (result == mouseNotHandled || result == mouseNotImplemented) {
            return false;
        }
        // A child removed during its own press must not receive the rest of it.
        if (result == mouseHandled && isChild(child)) {
            mouseDownChild = child;
        }
        return true;
    });
    return stopped ? result : mouseNotHandled;
}

MouseResult CViewContainer::mouseMoved(const CPoint& where, const ButtonState& buttons) {
    if (!mouseDownChild) {
        return mouseNotHandled;
    }
    CView* child = mouseDownChild;
    SharedGuard<CView> hold(child);
    const MouseResult result = child->mouseMoved(toLocal(where), buttons);
    if (result == mouseHandled) {
        return mouseHandled;
    }
    if (mouseDownChild == child) {
        mouseDownChild = nullptr;
    }
    return mouseNotHandled;
}

MouseResult CViewContainer::mouseUp(const CPoint& where, const ButtonState& buttons) {
    if (!mouseDownChild) {
        return mouseNotHandled;
    }
    CView* child = mouseDownChild;
    SharedGuard<CView> hold(child);
    child->mouseUp(toLocal(where), buttons);
    if (mouseDownChild == child) {
        mouseDownChild = nullptr;
    }
    return mouseHandled;
}

bool CViewContainer::wheelOnAxis(const CPoint& where, MouseWheelAxis axis, float distance,
                                 const ButtonState& buttons) {
    const CPoint local = toLocal(where);
    bool taken = false;
    offerTopDown([&](CView* child) { return child->mouseArea().pointInside(local); },
                 [&](CView* child) {
                     taken = child->wheelOnAxis(local, axis, distance, buttons);
                     return taken;
                 });
    return taken;
}

bool CViewContainer::wheel(const CPoint& where, float distance, const ButtonState& buttons) {
    return wheelOnAxis(where, verticalAxis, distance, buttons);
}

bool CViewContainer::onDrop(IDataPackage* drag, const CPoint& where) {
    CView* target = dragChild;
    dragChild = nullptr;
    return target ? target->onDrop(drag, toLocal(where)) : false;
}

void CViewContainer::onDragEnter(IDataPackage* drag, const CPoint& where) {
    dragChild = viewAtPoint(where, false);
    if (dragChild) {
        dragChild->onDragEnter(drag, toLocal(where));
    }
}

void CViewContainer::onDragLeave(IDataPackage* drag, const CPoint& where) {
    if (dragChild) {
        dragChild->onDragLeave(drag, toLocal(where));
    }
    dragChild = nullptr;
}

void CViewContainer::onDragMove(IDataPackage* drag, const CPoint& where) {
    CView* over = viewAtPoint(where, false);
    if (over != dragChild) {
        onDragLeave(drag, where);
        onDragEnter(drag, where);
    } else if (dragChild) {
        dragChild->onDragMove(drag, toLocal(where));
    }
}

// ---- Coordinates and size ---------------------------------------------------------------

CPoint& CViewContainer::frameToLocal(CPoint& point) const {
    point.offset(-bounds().left, -bounds().top);
    return CView::frameToLocal(point);
}

CPoint& CViewContainer::localToFrame(CPoint& point) const {
    point.offset(bounds().left, bounds().top);
    return CView::localToFrame(point);
}

CRect CViewContainer::visibleBoundsOf(const CRect& rect) const {
    CRect r = rect;
    r.bound(CRect(0, 0, bounds().width(), bounds().height()));
    if (CViewContainer* p = parentView()) {
        r.offset(bounds().left, bounds().top);
        r = p->visibleBoundsOf(r);
        r.offset(-bounds().left, -bounds().top);
    }
    return r;
}

void CViewContainer::setBounds(const CRect& rect, bool redraw) {
    if (rect == bounds()) {
        return;
    }
    const double dw = rect.width() - bounds().width();
    const double dh = rect.height() - bounds().height();
    CView::setBounds(rect, redraw);
    if (resizesChildren() && (dw != 0.0 || dh != 0.0)) {
        const std::int32_t own = resizeFlags();
        const double count = childCount;
        std::int32_t i = 0;
        for (CView* child : children()) {
            const std::int32_t f = child->resizeFlags();
            CRect r = child->bounds();
            CRect area = child->mouseArea();
            auto place = [&](double CRect::*lo, double CRect::*hi, double d, std::int32_t share,
                             std::int32_t moveHi, std::int32_t keepLo) {
                if (own & share) {
                    const double part = d / count;
                    for (CRect* x : {&r, &area}) {
                        x->*lo += part * i;
                        x->*hi += part * (i + 1);
                    }
                } else if (d != 0.0 && (f & moveHi)) {
                    for (CRect* x : {&r, &area}) {
                        x->*hi += d;
                        if (!(f & keepLo)) {
                            x->*lo += d;
                        }
                    }
                }
            };
            place(&CRect::left, &CRect::right, dw, kResizeColumn, kResizeRight, kResizeFixedLeft);
            place(&CRect::top, &CRect::bottom, dh, kResizeRow, kResizeBottom, kResizeFixedTop);
            if (!(r == child->bounds())) {
                child->setBounds(r, true);
                child->setMouseArea(area);
            }
            ++i;
        }
    }
    parentResized();
}

void CViewContainer::parentResized() {
    for (CView* child : children()) {
        child->parentResized();
    }
}

// ---- Focus ------------------------------------------------------------------------------

void CViewContainer::focusLost() {
    for (CView* child : children()) {
        child->focusLost();
    }
}

void CViewContainer::focusGained() {
    for (CView* child : children()) {
        child->focusGained();
    }
}

void CViewContainer::collectFocusViews(std::vector<CView*>& views) const {
    for (Node* n = first; n; n = n->next) {
        CView* v = n->view;
        if (!v->isVisible()) {
            continue;
        }
        if (auto* c = dynamic_cast<CViewContainer*>(v)) {
            c->collectFocusViews(views);
        } else if (v->acceptsFocus()) {
            views.push_back(v);
        }
    }
}

bool CViewContainer::advanceFocus(CView* from, bool reverse) {
    CFrame* f = frame();
    if (!f) {
        return false;
    }
    std::vector<CView*> views;
    collectFocusViews(views);
    if (views.empty()) {
        return false;
    }
    const auto count = static_cast<std::ptrdiff_t>(views.size());
    std::ptrdiff_t index = reverse ? count - 1 : 0;
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        if (views[static_cast<std::size_t>(i)] == from) {
            index = ((reverse ? i - 1 : i + 1) + count) % count;
        }
    }
    CView* next = views[static_cast<std::size_t>(index)];
    if (next == from) {
        return false;
    }
    f->setFocusView(next);
    return f->focusView() == next;
}

// ---- Drawing and invalidation -----------------------------------------------------------

void CViewContainer::draw(CDrawContext* context) {
    drawInRect(context, bounds());
}

bool CViewContainer::childNeedsRedraw(CView* child, const CRect& rect) const {
    return child->isShown() && child->needsRedrawIn(rect);
}

void CViewContainer::drawInRect(CDrawContext* context, const CRect& updateRect) {
    if (!context) {
        return;
    }
    const CPoint savedOffset = context->offset();
    context->setOffset(savedOffset + bounds().topLeft());
    const CRect oldClip = context->clipRect();
    CRect client = updateRect;
    client.bound(bounds());
    client.offset(-bounds().left, -bounds().top);
    CRect clip = client;
    clip.bound(oldClip);
    context->setClipRect(clip);

    drawBackgroundRect(context, client);

    for (CView* child : children()) {
        if (!child->isShown() || !childNeedsRedraw(child, client)) {
            continue;
        }
        CRect childClip = child->bounds();
        childClip.bound(clip);
        if (childClip.width() <= 0.0 || childClip.height() <= 0.0) {
            continue;
        }
        context->setClipRect(childClip);
        const float alpha = context->globalAlpha();
        context->setGlobalAlpha(alpha * child->alpha());
        child->drawInRect(context, client);
        context->setGlobalAlpha(alpha);
    }

    context->setClipRect(oldClip);
    context->setOffset(savedOffset);
    markDirty(false);
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& rect) {
    const CRect local(0, 0, bounds().width(), bounds().height());
    if (CBitmap* bitmap = background()) {
        const CRect oldClip = context->clipRect();
        CRect r = rect;
        r.bound(oldClip);
        context->setClipRect(r);
        bitmap->draw(context, local, bgOffset, 1.0f);
        context->setClipRect(oldClip);
    } else if (!isTransparent() || bgColor.alpha != 255) {
        context->setDrawMode(kAliasing);
        context->setLineWidth(1.0);
        context->setFillColor(bgColor);
        context->setFrameColor(bgColor);
        context->setLineStyle(kLineSolid);
        context->drawRect(local, kDrawFilledAndStroked);
    }
}

void CViewContainer::setBackgroundColor(const CColor& color) {
    bgColor = color;
    markDirty(true);
}

bool CViewContainer::isDirty() const {
    if (CView::isDirty()) {
        return true;
    }
    const CRect local(0, 0, bounds().width(), bounds().height());
    for (Node* n = first; n; n = n->next) {
        CView* v = n->view;
        if (!v->isDirty() || !v->isShown()) {
            continue;
        }
        if (!v->bounds().bounded(local).isEmpty()) {
            return true;
        }
    }
    return false;
}

void CViewContainer::invalidateRect(const CRect& rect) {
    if (!isShown()) {
        return;
    }
    CRect r = rect;
    r.offset(bounds().left, bounds().top);
    r.bound(bounds());
    if (r.isEmpty()) {
        return;
    }
    if (parentView()) {
        parentView()->invalidateRect(r);
    } else if (frame() && static_cast<CView*>(frame()) != this) {
        frame()->invalidateRect(r);
    }
}

void CViewContainer::invalidate() {
    if (!isShown()) {
        return;
    }
    if (parentView()) {
        parentView()->invalidateRect(bounds());
    } else if (frame() && static_cast<CView*>(frame()) != this) {
        frame()->invalidateRect(bounds());
    }
}

bool CViewContainer::invalidateDirtyViews() {
    if (!isShown()) {
        return true;
    }
    if (CView::isDirty()) {
        if (parentView()) {
            parentView()->invalidateRect(bounds());
        } else if (frame()) {
            frame()->invalidateRect(bounds());
        }
        return true;
    }
    for (CView* child : children()) {
        if (!child->isDirty() || !child->isShown()) {
            continue;
        }
        if (auto* c = dynamic_cast<CViewContainer*>(child)) {
            c->invalidateDirtyViews();
        } else {
            child->invalidate();
        }
    }
    return true;
}

} // namespace Toolkit

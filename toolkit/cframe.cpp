#include "cframe.h"

#include "cdrawcontext.h"
#include "platform/iplatformfactory.h"
#include "scalefactor.h"

#include <algorithm>

namespace Toolkit {

namespace {
// Per editor thread: a focus change that re-enters while one runs is ignored.
thread_local bool focusChanging = false;

enum : std::uint32_t {
    kFocusDrawingEnabledAttr = 0x66646f6e, // 'fdon'
    kFocusColorAttr = 0x66636f6c,          // 'fcol'
    kFocusWidthAttr = 0x66776964,          // 'fwid'
};

CPoint toViewLocal(const CView* view, const CPoint& where) {
    CPoint p = where;
    view->frameToLocal(p);
    return p;
}
} // namespace

CFrame::CFrame(const CRect& size, void* parentWindow, ToolkitEditorInterface* editor)
    : CFrame(size, parentWindow, editor, getPlatformFactory()) {}

CFrame::CFrame(const CRect& size, void* parentWindow, ToolkitEditorInterface* editor,
               IPlatformFactory& platformFactory)
    : CViewContainer(size, nullptr), editorInterface(editor), factory(&platformFactory) {
    setFlag(kIsAttached, true);
    parentFrame = this;
    if (parentWindow) {
        platform = factory->createFrame(this, bounds(), parentWindow);
    }
}

CFrame::~CFrame() {
    mouseObservers.clear();
    for (CView* v : hovered) {
        v->releaseReference();
    }
    hovered.clear();
    dismantle();
}

void CFrame::dismantle() {
    if (modal) {
        CView* m = modal;
        modal = nullptr;
        CViewContainer::removeView(m, false);
    }
    if (platform) {
        platform->setCursor(cursorDefault);
    }
    // Children see a frame that no longer counts itself attached to itself; each is detached
    // and loses both its references. From the destructor this is CFrame's own removeAll.
    parentFrame = nullptr;
    removeAll(true);
    detachFromPlatform();
}

void CFrame::detachFromPlatform() {
    if (!platform) {
        return;
    }
    IPlatformFrame* p = platform;
    platform = nullptr;
    p->releaseReference();
}

bool CFrame::isKindOf(const char* className) const {
    return nameIs(className, "CFrame") || CViewContainer::isKindOf(className);
}

void CFrame::close() {
    clearMouseViews(CPoint(), 0, false);
    dismantle();
    releaseReference();
}

// ---- Drawing and invalidation -----------------------------------------------------------

void CFrame::draw(CDrawContext* context) {
    drawInRect(context, bounds());
}

void CFrame::drawInRect(CDrawContext* context, const CRect& updateRect) {
    if (!context || updateRect.width() <= 0.0 || updateRect.height() <= 0.0) {
        return;
    }
    SharedGuard<CDrawContext> hold(context);
    const CRect oldClip = context->clipRect();
    CRect clip = updateRect;
    clip.bound(oldClip);
    context->setClipRect(clip);
    CViewContainer::drawInRect(context, updateRect);
    context->setClipRect(oldClip);
}

void CFrame::invalidateRect(const CRect& rect) {
    if (isShown() && platform) {
        platform->invalidateRect(toDevice(rect));
    }
}

void CFrame::invalidate() {
    invalidateRect(bounds());
    markDirty(false);
}

void CFrame::idle() {
    invalidateDirtyViews();
}

void CFrame::invalidateOverlapping(const CRect& rect) {
    for (CView* child : children()) {
        if (child->bounds().rectOverlap(rect)) {
            child->markDirty(true);
        }
    }
}

// ---- Mouse ------------------------------------------------------------------------------

MouseResult CFrame::askMouseObservers(MouseObserverOperation op, const CPoint& where,
                                      const ButtonState& buttons) {
    MouseResult r = mouseNotHandled;
    if (!mouseObservers.empty()) {
        for (IMouseObserver* o : std::vector<IMouseObserver*>(mouseObservers)) {
            if ((o->*op)(this, where, buttons) == mouseHandled) {
                r = mouseHandled;
            }
        }
    }
    return r;
}

MouseResult CFrame::mouseDown(const CPoint& where, const ButtonState& buttons) {
    // A second button pressed during a press: end the first one properly, or its edit
    // gesture (begun on press, ended on release) would never be closed.
    if (CView* previous = mouseDownView()) {
        SharedGuard<CView> hold(previous);
        clearMouseDownView();
        CPoint local = where;
        if (previous->parentView()) {
            previous->parentView()->frameToLocal(local);
        }
        previous->mouseUp(local, buttons);
    }
    if (focus && focus->isKindOf("CTextEdit")) {
        setFocusView(nullptr);
    }
    if (platform) {
        platform->hideTooltip();
    }
    if (askMouseObservers(&IMouseObserver::onMouseDown, where, buttons) == mouseHandled) {
        return mouseHandled;
    }
    if (modal) {
        CView* m = modal;
        SharedGuard<CView> hold(m);
        if (m->isShown() && m->isMouseEnabled() && m->containsPoint(where, buttons) &&
            m->mouseDown(where, buttons) == mouseHandled) {
            if (isChild(m)) {
                setMouseDownView(m);
            }
            return mouseHandled;
        }
        return mouseNotHandled;
    }
    return CViewContainer::mouseDown(where, buttons);
}

MouseResult CFrame::mouseMoved(const CPoint& where, const ButtonState& buttons) {
    if (!mouseDownView()) {
        updateMouseViews(where, buttons);
    }
    if (askMouseObservers(&IMouseObserver::onMouseMoved, where, buttons) == mouseHandled) {
        return mouseHandled;
    }
    if (modal) {
        SharedGuard<CView> hold(modal);
        return hold->mouseMoved(where, buttons);
    }
    MouseResult result = CViewContainer::mouseMoved(where, buttons);
    if (result != mouseNotHandled) {
        return result;
    }
    // No press in progress: hovering views see the move with the modifier keys only.
    const ButtonState modifiers(buttons.modifiers());
    const std::vector<CView*> views = hovered;
    for (CView* v : views) {
        SharedGuard<CView> hold(v);
        result = v->mouseMoved(toViewLocal(v, where), modifiers);
        if (result == mouseHandled) {
            break;
        }
    }
    return result;
}

MouseResult CFrame::mouseUp(const CPoint& where, const ButtonState& buttons) {
    const MouseResult result = CViewContainer::mouseUp(where, buttons);
    updateMouseViews(where, ButtonState(buttons.modifiers()));
    return result;
}

MouseResult CFrame::mouseExited(const CPoint& where, const ButtonState& buttons) {
    if (mouseDownView()) {
        return mouseHandled;
    }
    clearMouseViews(where, buttons, true);
    if (platform) {
        platform->hideTooltip();
    }
    return mouseHandled;
}

void CFrame::dropMouseView(std::size_t index, const CPoint& where, const ButtonState& buttons,
                           bool callExited) {
    CView* v = hovered[index];
    hovered.erase(hovered.begin() + static_cast<std::ptrdiff_t>(index));
    if (callExited) {
        v->mouseExited(toViewLocal(v, where), buttons);
        for (IMouseObserver* o : std::vector<IMouseObserver*>(mouseObservers)) {
            o->onMouseExited(v, this);
        }
    }
    v->releaseReference();
}

void CFrame::clearMouseViews(const CPoint& where, const ButtonState& buttons, bool callExited) {
    while (!hovered.empty()) {
        dropMouseView(hovered.size() - 1, where, buttons, callExited);
    }
}

void CFrame::updateMouseViews(const CPoint& where, const ButtonState& buttons) {
    if (mouseDownView()) {
        return;
    }
    CView* target = viewAtPoint(where, true);
    if (!target) {
        target = containerAtPoint(where, true);
    }
    if (!hovered.empty() && hovered.back() == target) {
        return;
    }
    if (!target || target == this) {
        clearMouseViews(where, buttons, true);
        return;
    }
    SharedGuard<CView> holdTarget(target);
    if (!hovered.empty() && !dynamic_cast<CViewContainer*>(hovered.back())) {
        dropMouseView(hovered.size() - 1, where, buttons, true);
    }
    while (!hovered.empty()) {
        CView* v = hovered.back();
        if (v == target) {
            break;
        }
        auto* c = dynamic_cast<CViewContainer*>(v);
        if (c && c->isChild(target, true)) {
            break;
        }
        dropMouseView(hovered.size() - 1, where, buttons, true);
    }
    // The target and its enclosing containers below the frame, outermost first.
    std::vector<CView*> chain;
    for (CView* v = target; v && v != this; v = v->parentView()) {
        chain.insert(chain.begin(), v);
    }
    for (CView* v : chain) {
        if (std::find(hovered.begin(), hovered.end(), v) != hovered.end()) {
            continue;
        }
        v->addReference();
        hovered.push_back(v);
        v->mouseEntered(toViewLocal(v, where), buttons);
        for (IMouseObserver* o : std::vector<IMouseObserver*>(mouseObservers)) {
            o->onMouseEntered(v, this);
        }
    }
}

bool CFrame::wheelOnAxis(const CPoint& where, MouseWheelAxis axis, float distance,
                         const ButtonState& buttons) {
    if (mouseDownView()) {
        return false;
    }
    CView* child = viewAtPoint(where, false);
    if (!child) {
        return false;
    }
    SharedGuard<CView> hold(child);
    const bool taken = child->wheelOnAxis(where, axis, distance, buttons);
    updateMouseViews(where, buttons);
    return taken;
}

bool CFrame::wheel(const CPoint& where, float distance, const ButtonState& buttons) {
    return wheelOnAxis(where, verticalAxis, distance, buttons);
}

CView* CFrame::viewAtPoint(const CPoint& where, bool deep) const {
    if (!modal) {
        return CViewContainer::viewAtPoint(where, deep);
    }
    if (!modal->isShown() || !modal->mouseArea().pointInside(where)) {
        return nullptr;
    }
    if (deep) {
        if (auto* c = dynamic_cast<CViewContainer*>(modal)) {
            return c->viewAtPoint(where, true);
        }
    }
    return modal;
}

CViewContainer* CFrame::containerAtPoint(const CPoint& where, bool deep) const {
    if (!modal) {
        return CViewContainer::containerAtPoint(where, deep);
    }
    auto* c = dynamic_cast<CViewContainer*>(modal);
    if (!c || !c->isShown() || !c->mouseArea().pointInside(where)) {
        return nullptr;
    }
    return deep ? c->containerAtPoint(where, true) : c;
}

DragResult CFrame::doDrag(IDataPackage* source, const CPoint& offset, CBitmap* image) {
    return platform ? platform->doDrag(source, offset, image) : dragError;
}

// ---- Keys and focus ---------------------------------------------------------------------

std::int32_t CFrame::dispatchKey(VstKeyCode& keyCode, KeyHookOperation hookOp, KeyOperation op) {
    if (keyHook) {
        const std::int32_t r = (keyHook->*hookOp)(keyCode, this);
        if (r != -1) {
            return r;
        }
    }
    if (focus) {
        SharedGuard<CView> hold(focus);
        std::int32_t r = -1;
        if (hold->isMouseEnabled()) {
            r = (hold.get()->*op)(keyCode);
        }
        for (CViewContainer* c = hold->parentView(); r == -1 && c && c != this;
             c = c->parentView()) {
            if (c->isMouseEnabled()) {
                r = (c->*op)(keyCode);
            }
        }
        if (r != -1) {
            return r;
        }
    }
    if (modal) {
        SharedGuard<CView> hold(modal);
        return (hold.get()->*op)(keyCode);
    }
    return -1;
}

std::int32_t CFrame::keyDown(VstKeyCode& keyCode) {
    const std::int32_t r = dispatchKey(keyCode, &IKeyboardHook::onKeyDown, &CView::keyDown);
    if (r == -1 && keyCode.virt == VKEY_TAB) {
        return advanceFocus(focus, (keyCode.modifier & MODIFIER_SHIFT) != 0) ? 1 : -1;
    }
    return r;
}

std::int32_t CFrame::keyUp(VstKeyCode& keyCode) {
    return dispatchKey(keyCode, &IKeyboardHook::onKeyUp, &CView::keyUp);
}

void CFrame::focusChangeMessage(CView* view, IdStringPtr message) {
    for (CViewContainer* c = view->parentView(); c; c = c->parentView()) {
        c->handleMessage(view, message);
    }
}

void CFrame::setFocusView(CView* view) {
    if (view == focus || (focusChanging && focus)) {
        return;
    }
    if (!active) {
        savedFocus = view;
        return;
    }
    focusChanging = true;
    CView* old = focus;
    // old->focusLost() may re-enter (when clearing) or remove the new view: only a view that
    // still holds the focus afterwards is told it gained it, and only once.
    CView* const gaining = view && view->isAttached() ? view : nullptr;
    focus = gaining;
    if (gaining && gaining->acceptsFocus()) {
        gaining->invalidate();
        focusChangeMessage(gaining, kMsgNewFocusView);
    }
    if (old) {
        if (old->acceptsFocus()) {
            old->invalidate();
            focusChangeMessage(old, kMsgOldFocusView);
        }
        old->focusLost();
    }
    if (gaining && gaining == focus && gaining->acceptsFocus()) {
        gaining->focusGained();
    }
    focusChanging = false;
}

void CFrame::onActivate(bool becomeActive) {
    if (becomeActive == active) {
        return;
    }
    if (becomeActive) {
        active = true;
        if (savedFocus) {
            CView* v = savedFocus;
            savedFocus = nullptr;
            setFocusView(v);
        } else {
            advanceFocus(nullptr, false);
        }
    } else {
        if (platform) {
            platform->hideTooltip();
        }
        savedFocus = focus;
        setFocusView(nullptr);
        active = false;
    }
}

void CFrame::setFocusDrawingEnabled(bool enabled) {
    setAttribute(kFocusDrawingEnabledAttr, &enabled, sizeof enabled);
}

bool CFrame::focusDrawingEnabled() const {
    bool enabled = false;
    attribute(kFocusDrawingEnabledAttr, &enabled, sizeof enabled);
    return enabled;
}

void CFrame::setFocusColor(const CColor& color) {
    setAttribute(kFocusColorAttr, &color, sizeof color);
}

CColor CFrame::focusColor() const {
    CColor color = kRedCColor;
    attribute(kFocusColorAttr, &color, sizeof color);
    return color;
}

void CFrame::setFocusWidth(double width) {
    setAttribute(kFocusWidthAttr, &width, sizeof width);
}

double CFrame::focusWidth() const {
    double width = 2.0;
    attribute(kFocusWidthAttr, &width, sizeof width);
    return width;
}

// ---- Tree -------------------------------------------------------------------------------

bool CFrame::setModalView(CView* view) {
    if (view && (modal || view->isAttached())) {
        return false;
    }
    if (modal) {
        CView* old = modal;
        modal = nullptr;
        CViewContainer::removeView(old, false);
    }
    if (!view) {
        CPoint where;
        currentMouseLocation(where);
        updateMouseViews(where, currentMouseButtons());
        return true;
    }
    modal = view;
    if (!addView(view)) {
        modal = nullptr;
        return false;
    }
    CPoint where;
    currentMouseLocation(where);
    clearMouseViews(where, 0, true);
    if (auto* c = dynamic_cast<CViewContainer*>(view)) {
        std::vector<CView*> views;
        c->collectFocusViews(views);
        setFocusView(views.empty() ? nullptr : views.front());
    } else {
        setFocusView(view->acceptsFocus() ? view : nullptr);
    }
    return true;
}

bool CFrame::removeView(CView* view, bool withRelease) {
    if (view && view == modal) {
        modal = nullptr;
    }
    return CViewContainer::removeView(view, withRelease);
}

bool CFrame::removeAll(bool withRelease) {
    modal = nullptr;
    focus = nullptr;
    savedFocus = nullptr;
    clearMouseViews(CPoint(), 0, false);
    return CViewContainer::removeAll(withRelease);
}

void CFrame::viewAdded(CView* view) {
    if (observer) {
        observer->onViewAdded(this, view);
    }
}

void CFrame::viewRemoved(CView* view) {
    auto it = std::find(hovered.begin(), hovered.end(), view);
    if (it != hovered.end()) {
        hovered.erase(it);
        for (IMouseObserver* o : std::vector<IMouseObserver*>(mouseObservers)) {
            o->onMouseExited(view, this);
        }
        view->releaseReference();
    }
    if (savedFocus == view) {
        savedFocus = nullptr;
    }
    auto* container = dynamic_cast<CViewContainer*>(view);
    if (focus && (focus == view || (container && container->isChild(focus, true)))) {
        setFocusView(nullptr);
        // While inactive or inside a focus change the call above only records; the pointer
        // must not outlive the view either way.
        focus = nullptr;
    }
    if (observer) {
        observer->onViewRemoved(this, view);
    }
}

void CFrame::registerMouseObserver(IMouseObserver* o) {
    if (o && std::find(mouseObservers.begin(), mouseObservers.end(), o) == mouseObservers.end()) {
        mouseObservers.push_back(o);
    }
}

void CFrame::unregisterMouseObserver(IMouseObserver* o) {
    mouseObservers.erase(std::remove(mouseObservers.begin(), mouseObservers.end(), o),
                         mouseObservers.end());
}

// ---- Editor and platform ----------------------------------------------------------------

void CFrame::doIdleStuff() {
    if (editorInterface) {
        editorInterface->doIdleStuff();
    }
}

std::int64_t CFrame::ticks() const {
    return platform ? static_cast<std::int64_t>(factory->ticks()) : -1;
}

std::int32_t CFrame::knobMode() const {
    return editorInterface ? editorInterface->getKnobMode() : 0;
}

void CFrame::beginEdit(std::int32_t index) {
    if (editorInterface) {
        editorInterface->beginEdit(index);
    }
}

void CFrame::endEdit(std::int32_t index) {
    if (editorInterface) {
        editorInterface->endEdit(index);
    }
}

bool CFrame::setPosition(double x, double y) {
    if (!platform) {
        return false;
    }
    const CRect before = bounds();
    CRect moved = before;
    moved.moveTo(x, y);
    setBoundsRaw(moved);
    return platform->setSize(toDevice(before));
}

bool CFrame::position(CPoint& where) const {
    return platform ? platform->globalPosition(where) : false;
}

bool CFrame::setSize(double width, double height) {
    if (width == bounds().width() && height == bounds().height()) {
        return false;
    }
    const CRect oldSize = bounds();
    const CRect newSize(oldSize.left, oldSize.top, oldSize.left + width, oldSize.top + height);
    if (editorInterface &&
        !editorInterface->beforeSizeChange(toDevice(newSize), toDevice(oldSize))) {
        return false;
    }
    if (platform && !platform->setSize(toDevice(newSize))) {
        return false;
    }
    setBounds(newSize, true);
    return true;
}

bool CFrame::setScaleFactor(double requested) {
    const double newScale = nearestSupportedScale(requested);
    if (newScale == scale) {
        return true;
    }
    if (!platform) {
        scale = newScale;
        return true;
    }
    CRect origin = bounds();
    origin.moveTo(0, 0);
    const CRect oldWindow = toDevice(origin);
    const CRect newWindow = newScale == 1.0 ? origin : scaledOutward(origin, newScale);
    if (editorInterface && !editorInterface->beforeSizeChange(newWindow, oldWindow)) {
        return false;
    }
    if (!platform->setScaleFactor(newScale)) {
        return false;
    }
    scale = newScale;
    // The platform frame invalidates the whole new size.
    platform->setSize(newWindow);
    return true;
}

CPoint CFrame::fromDevice(const CPoint& where) const {
    return scale == 1.0 ? where : unscaled(where, scale);
}

CRect CFrame::toDevice(const CRect& rect) const {
    return scale == 1.0 ? rect : scaledOutward(rect, scale);
}

CRect CFrame::fromDevice(const CRect& rect) const {
    return scale == 1.0 ? rect : unscaledOutward(rect, scale);
}

void CFrame::setBounds(const CRect& rect, bool redraw) {
    CViewContainer::setBounds(rect, redraw);
}

bool CFrame::size(CRect& rect) const {
    return platformSize(rect);
}

bool CFrame::platformSize(CRect& rect) const {
    if (!platform || !platform->size(rect)) {
        return false;
    }
    rect = fromDevice(rect);
    return true;
}

bool CFrame::currentMouseLocation(CPoint& where) const {
    where = CPoint();
    if (!platform || !platform->mousePosition(where)) {
        return false;
    }
    where = fromDevice(where);
    frameToLocal(where);
    return true;
}

ButtonState CFrame::currentMouseButtons() const {
    ButtonState buttons;
    if (platform) {
        platform->mouseButtons(buttons);
    }
    return buttons;
}

void CFrame::setCursor(CursorType type) {
    if (platform) {
        platform->setCursor(type);
    }
}

// ---- Platform callbacks -----------------------------------------------------------------

bool CFrame::platformDrawRect(CDrawContext* context, const CRect& rect) {
    drawInRect(context, rect);
    return true;
}

MouseResult CFrame::platformMouseDown(const CPoint& where, const ButtonState& buttons) {
    SharedGuard<CFrame> hold(this);
    return mouseDown(fromDevice(where), buttons);
}

MouseResult CFrame::platformMouseMoved(const CPoint& where, const ButtonState& buttons) {
    SharedGuard<CFrame> hold(this);
    return mouseMoved(fromDevice(where), buttons);
}

MouseResult CFrame::platformMouseUp(const CPoint& where, const ButtonState& buttons) {
    SharedGuard<CFrame> hold(this);
    return mouseUp(fromDevice(where), buttons);
}

MouseResult CFrame::platformMouseExited(const CPoint& where, const ButtonState& buttons) {
    SharedGuard<CFrame> hold(this);
    return mouseExited(fromDevice(where), buttons);
}

bool CFrame::platformMouseWheel(const CPoint& where, MouseWheelAxis axis, float distance,
                                const ButtonState& buttons) {
    SharedGuard<CFrame> hold(this);
    return wheelOnAxis(fromDevice(where), axis, distance, buttons);
}

DragResult CFrame::platformDrop(IDataPackage* drag, const CPoint& where) {
    SharedGuard<CFrame> hold(this);
    return onDrop(drag, fromDevice(where)) ? dragCopied : dragRefused;
}

void CFrame::platformDragEnter(IDataPackage* drag, const CPoint& where) {
    SharedGuard<CFrame> hold(this);
    onDragEnter(drag, fromDevice(where));
}

void CFrame::platformDragLeave(IDataPackage* drag, const CPoint& where) {
    SharedGuard<CFrame> hold(this);
    onDragLeave(drag, fromDevice(where));
}

void CFrame::platformDragMove(IDataPackage* drag, const CPoint& where) {
    SharedGuard<CFrame> hold(this);
    onDragMove(drag, fromDevice(where));
}

bool CFrame::platformKeyDown(VstKeyCode& keyCode) {
    SharedGuard<CFrame> hold(this);
    return keyDown(keyCode) == 1;
}

bool CFrame::platformKeyUp(VstKeyCode& keyCode) {
    SharedGuard<CFrame> hold(this);
    return keyUp(keyCode) == 1;
}

void CFrame::platformActivate(bool becomeActive) {
    onActivate(becomeActive);
}

void CFrame::platformScaleChanged(double systemScale) {
    SharedGuard<CFrame> hold(this);
    if (editorInterface) {
        editorInterface->systemScaleChanged(systemScale);
    }
}

} // namespace Toolkit

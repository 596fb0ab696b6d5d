#include "cview.h"

#include "cbitmap.h"
#include "cdrawcontext.h"
#include "cframe.h"
#include "cviewcontainer.h"
#include "idleviewupdater.h"

#include <cstring>

namespace Toolkit {

CView::CView(const CRect& bounds) : size(bounds), mouseRect(bounds) {}

CView::CView(const CView& other)
    : CBaseObject(), size(other.size), mouseRect(other.mouseRect),
      viewFlags(other.viewFlags & ~kIsAttached), resizeBits(other.resizeBits),
      viewAlpha(other.viewAlpha), backgroundBitmap(other.backgroundBitmap),
      attributes(other.attributes) {
    if (backgroundBitmap) {
        backgroundBitmap->addReference();
    }
}

CView::~CView() {
    if (backgroundBitmap) {
        backgroundBitmap->releaseReference();
    }
}

bool CView::isKindOf(const char* className) const {
    return nameIs(className, "CView") || CBaseObject::isKindOf(className);
}

void CView::draw(CDrawContext* context) {
    if (backgroundBitmap) {
        backgroundBitmap->draw(context, size, CPoint(0, 0), 1.0f);
    }
    markDirty(false);
}

void CView::drawInRect(CDrawContext* context, const CRect&) {
    draw(context);
}

bool CView::needsRedrawIn(const CRect& rect) const {
    return size.rectOverlap(rect);
}

void CView::invalidateRect(const CRect& rect) {
    if (!isAttached() || !isVisible()) {
        return;
    }
    if (parent) {
        parent->invalidateRect(rect);
    } else if (parentFrame) {
        parentFrame->invalidateRect(rect);
    }
}

void CView::invalidate() {
    markDirty(false);
    invalidateRect(size);
}

void CView::setVisible(bool visible) {
    if (visible) {
        setFlag(kVisible, true);
        invalidate();
    } else if (isVisible()) {
        invalidate();
        setFlag(kVisible, false);
    }
}

MouseResult CView::mouseDown(const CPoint&, const ButtonState&) {
    return mouseNotImplemented;
}
MouseResult CView::mouseUp(const CPoint&, const ButtonState&) {
    return mouseNotImplemented;
}
MouseResult CView::mouseMoved(const CPoint&, const ButtonState&) {
    return mouseNotImplemented;
}
MouseResult CView::mouseEntered(const CPoint&, const ButtonState&) {
    return mouseNotImplemented;
}
MouseResult CView::mouseExited(const CPoint&, const ButtonState&) {
    return mouseNotImplemented;
}

bool CView::containsPoint(const CPoint& where, const ButtonState&) const {
    return mouseRect.pointInside(where);
}

bool CView::wheelOnAxis(const CPoint& where, MouseWheelAxis axis, float distance,
                        const ButtonState& buttons) {
    return wheel(where, axis == verticalAxis ? distance : -distance, buttons);
}

bool CView::wheel(const CPoint&, float, const ButtonState&) {
    return false;
}

DragResult CView::doDrag(IDataPackage* source, const CPoint& offset, CBitmap* image) {
    if (!parentFrame) {
        return dragError;
    }
    CPoint p = offset;
    localToFrame(p);
    return parentFrame->doDrag(source, p, image);
}

bool CView::onDrop(IDataPackage*, const CPoint&) {
    return false;
}
void CView::onDragEnter(IDataPackage*, const CPoint&) {}
void CView::onDragLeave(IDataPackage*, const CPoint&) {}
void CView::onDragMove(IDataPackage*, const CPoint&) {}

std::int32_t CView::keyDown(VstKeyCode&) {
    return -1;
}
std::int32_t CView::keyUp(VstKeyCode&) {
    return -1;
}

void CView::setBounds(const CRect& rect, bool redraw) {
    if (rect == size) {
        return;
    }
    size = rect;
    if (redraw) {
        markDirty(true);
    }
    if (parent) {
        parent->handleMessage(this, kMsgViewSizeChanged);
    }
}

CRect CView::visibleBounds() const {
    if (parent) {
        return parent->visibleBoundsOf(size);
    }
    if (parentFrame && parentFrame != this) {
        return parentFrame->visibleBoundsOf(size);
    }
    if (!isAttached()) {
        return CRect();
    }
    return size;
}

CPoint& CView::frameToLocal(CPoint& point) const {
    return parent ? parent->frameToLocal(point) : point;
}

CPoint& CView::localToFrame(CPoint& point) const {
    return parent ? parent->localToFrame(point) : point;
}

void CView::setBackground(CBitmap* bitmap) {
    if (bitmap) {
        bitmap->addReference();
    }
    if (backgroundBitmap) {
        backgroundBitmap->releaseReference();
    }
    backgroundBitmap = bitmap;
    markDirty(true);
}

void CView::setAlpha(float alpha) {
    if (alpha == viewAlpha) {
        return;
    }
    viewAlpha = alpha;
    if (parent) {
        parent->invalidateRect(size);
    }
}

bool CView::attachedTo(CViewContainer* newParent) {
    if (isAttached()) {
        return false;
    }
    parent = newParent;
    parentFrame = newParent ? newParent->frame() : nullptr;
    setFlag(kIsAttached, true);
    if (parentFrame) {
        parentFrame->viewAdded(this);
    }
    if (wantsIdle()) {
        IdleViewUpdater::add(this);
    }
    return true;
}

bool CView::detachedFrom(CViewContainer*) {
    if (!isAttached()) {
        return false;
    }
    if (wantsIdle()) {
        IdleViewUpdater::remove(this);
    }
    if (parentFrame) {
        parentFrame->viewRemoved(this);
    }
    setFlag(kIsAttached, false);
    parentFrame = nullptr;
    parent = nullptr;
    return true;
}

ToolkitEditorInterface* CView::editor() const {
    return parentFrame ? parentFrame->editor() : nullptr;
}

void CView::setWantsIdle(bool wants) {
    if (wants == wantsIdle()) {
        return;
    }
    setFlag(kWantsIdle, wants);
    if (!isAttached()) {
        return;
    }
    if (wants) {
        IdleViewUpdater::add(this);
    } else {
        IdleViewUpdater::remove(this);
    }
}

void CView::setAttribute(std::uint32_t id, const void* data, std::size_t bytes) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    attributes[id] = p ? std::vector<std::uint8_t>(p, p + bytes) : std::vector<std::uint8_t>();
}

bool CView::attribute(std::uint32_t id, void* out, std::size_t bytes) const {
    auto it = attributes.find(id);
    if (it == attributes.end() || it->second.size() != bytes || !out) {
        return false;
    }
    std::memcpy(out, it->second.data(), bytes);
    return true;
}

std::size_t CView::attributeSize(std::uint32_t id) const {
    auto it = attributes.find(id);
    return it == attributes.end() ? 0 : it->second.size();
}

bool CView::removeAttribute(std::uint32_t id) {
    return attributes.erase(id) > 0;
}

} // namespace Toolkit

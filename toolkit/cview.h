#pragma once

#include "cbaseobject.h"
#include "cbuttonstate.h"
#include "cpoint.h"
#include "crect.h"
#include "vstkeycode.h"

#include <cstdint>
#include <map>
#include <vector>

namespace Toolkit {

class CBitmap;
class CDrawContext;
class CFrame;
class CViewContainer;
class IDataPackage;
class ToolkitEditorInterface;

enum ViewFlags : std::uint32_t {
    kMouseEnabled = 1 << 0,
    kTransparencyEnabled = 1 << 1,
    kWantsFocus = 1 << 2,
    kIsAttached = 1 << 3,
    kVisible = 1 << 4,
    kDirty = 1 << 5,
    kWantsIdle = 1 << 6,
    kAutosizeSubviews = 1 << 7,
};

// Bits of setResizeFlags: which edges follow a resize of the parent container.
enum ResizeFlags : std::int32_t {
    kResizeFixedLeft = 1 << 0,
    kResizeFixedTop = 1 << 1,
    kResizeRight = 1 << 2,
    kResizeBottom = 1 << 3,
    kResizeColumn = 1 << 4, // container: share added width among the children
    kResizeRow = 1 << 5,    // container: share added height among the children
};

// A rectangle of the window that draws itself and takes input. Bounds and mouse area are in
// the parent container's coordinates; so are the points of the mouse operations.
class CView : public CBaseObject {
public:
    explicit CView(const CRect& bounds);
    CView(const CView& other);
    ~CView() override;
    CView& operator=(const CView&) = delete;

    bool isKindOf(const char* className) const override;
    CBaseObject* clone() const override { return new CView(*this); }

    virtual void draw(CDrawContext* context);
    virtual void drawInRect(CDrawContext* context, const CRect& updateRect);
    virtual bool needsRedrawIn(const CRect& rect) const;
    virtual bool isDirty() const { return hasFlag(kDirty); }
    virtual void markDirty(bool dirty = true) { setFlag(kDirty, dirty); }
    virtual void invalidateRect(const CRect& rect);
    virtual void invalidate();
    virtual void setVisible(bool visible);
    virtual MouseResult mouseDown(const CPoint& where, const ButtonState& buttons);
    virtual MouseResult mouseUp(const CPoint& where, const ButtonState& buttons);
    virtual MouseResult mouseMoved(const CPoint& where, const ButtonState& buttons);
    virtual MouseResult mouseEntered(const CPoint& where, const ButtonState& buttons);
    virtual MouseResult mouseExited(const CPoint& where, const ButtonState& buttons);
    virtual bool containsPoint(const CPoint& where, const ButtonState& buttons) const;
    virtual bool wheelOnAxis(const CPoint& where, MouseWheelAxis axis, float distance,
                             const ButtonState& buttons);
    virtual bool wheel(const CPoint& where, float distance, const ButtonState& buttons);
    virtual void setMouseEnabled(bool enabled) { setFlag(kMouseEnabled, enabled); }
    virtual bool isMouseEnabled() const { return hasFlag(kMouseEnabled); }
    virtual void setMouseArea(const CRect& area) { mouseRect = area; }
    virtual CRect& mouseArea(CRect& area) const { return area = mouseRect; }
    virtual const CRect& mouseArea() const { return mouseRect; }
    virtual DragResult doDrag(IDataPackage* source, const CPoint& offset = {},
                              CBitmap* image = nullptr);
    virtual bool onDrop(IDataPackage* drag, const CPoint& where);
    virtual void onDragEnter(IDataPackage* drag, const CPoint& where);
    virtual void onDragLeave(IDataPackage* drag, const CPoint& where);
    virtual void onDragMove(IDataPackage* drag, const CPoint& where);
    // Key handlers answer 1 when they used the key, -1 otherwise.
    virtual std::int32_t keyDown(VstKeyCode& keyCode);
    virtual std::int32_t keyUp(VstKeyCode& keyCode);
    virtual void setBounds(const CRect& rect, bool redraw = true);
    virtual CRect visibleBounds() const;
    virtual void parentResized() {}
    virtual CPoint& frameToLocal(CPoint& point) const;
    virtual CPoint& localToFrame(CPoint& point) const;
    virtual void setResizeFlags(std::int32_t flags) { resizeBits = flags; }
    virtual std::int32_t resizeFlags() const { return resizeBits; }
    virtual bool fitToContent() { return false; }
    virtual void focusLost() {}
    virtual void focusGained() {}
    virtual bool acceptsFocus() const { return hasFlag(kWantsFocus); }
    virtual void setAcceptsFocus(bool accepts) { setFlag(kWantsFocus, accepts); }
    virtual void setBackground(CBitmap* bitmap);
    virtual CBitmap* background() const { return backgroundBitmap; }
    virtual void setTransparent(bool transparent) { setFlag(kTransparencyEnabled, transparent); }
    virtual bool isTransparent() const { return hasFlag(kTransparencyEnabled); }
    virtual void setAlpha(float alpha);
    virtual bool detachedFrom(CViewContainer* parent);
    virtual bool attachedTo(CViewContainer* parent);
    virtual ToolkitEditorInterface* editor() const;
    // Called about every 33 ms while attached, for views with kWantsIdle.
    virtual void idleTick() {}

    bool isVisible() const { return hasFlag(kVisible); }
    bool isAttached() const { return hasFlag(kIsAttached); }
    const CRect& bounds() const { return size; }
    CFrame* frame() const { return parentFrame; }
    CViewContainer* parentView() const { return parent; }
    float alpha() const { return viewAlpha; }
    // Visible and not fully transparent: drawn, hit and invalidated.
    bool isShown() const { return isVisible() && viewAlpha > 0.0f; }
    // Registers or unregisters with the idle updater when attached.
    void setWantsIdle(bool wants);
    bool wantsIdle() const { return hasFlag(kWantsIdle); }

    // Small byte blobs keyed by id; each entry owns a copy of its bytes.
    void setAttribute(std::uint32_t id, const void* data, std::size_t size);
    bool attribute(std::uint32_t id, void* out, std::size_t size) const;
    std::size_t attributeSize(std::uint32_t id) const;
    bool removeAttribute(std::uint32_t id);

protected:
    bool hasFlag(std::uint32_t flag) const { return (viewFlags & flag) != 0; }
    void setFlag(std::uint32_t flag, bool on) {
        viewFlags = on ? (viewFlags | flag) : (viewFlags & ~flag);
    }
    void setBoundsRaw(const CRect& rect) { size = rect; }

private:
    CRect size;
    CRect mouseRect;
    CFrame* parentFrame = nullptr;
    CViewContainer* parent = nullptr;
    std::uint32_t viewFlags = kMouseEnabled | kVisible;
    std::int32_t resizeBits = 0;
    float viewAlpha = 1.0f;
    CBitmap* backgroundBitmap = nullptr;
    std::map<std::uint32_t, std::vector<std::uint8_t>> attributes;

    friend class CFrame;
};

} // namespace Toolkit

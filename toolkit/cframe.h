#pragma once

#include "cviewcontainer.h"
#include "platform/iplatformframe.h"
#include "toolkiteditorinterface.h"

#include <cstdint>
#include <vector>

namespace Toolkit {

class CFrame;
class IPlatformFactory;

// Asked first about every key; answer -1 to let the frame go on.
class IKeyboardHook {
public:
    virtual ~IKeyboardHook() = default;
    virtual std::int32_t onKeyDown(const VstKeyCode& code, CFrame* frame) = 0;
    virtual std::int32_t onKeyUp(const VstKeyCode& code, CFrame* frame) = 0;
};

// Told when views join or leave the frame's tree.
class IViewAddedRemovedObserver {
public:
    virtual ~IViewAddedRemovedObserver() = default;
    virtual void onViewAdded(CFrame* frame, CView* view) = 0;
    virtual void onViewRemoved(CFrame* frame, CView* view) = 0;
};

// Sees the pointer entering and leaving views and may take presses and moves first.
class IMouseObserver {
public:
    virtual ~IMouseObserver() = default;
    virtual void onMouseEntered(CView* view, CFrame* frame) = 0;
    virtual void onMouseExited(CView* view, CFrame* frame) = 0;
    virtual MouseResult onMouseMoved(CFrame*, const CPoint&, const ButtonState&) {
        return mouseNotHandled;
    }
    virtual MouseResult onMouseDown(CFrame*, const CPoint&, const ButtonState&) {
        return mouseNotHandled;
    }
};

// The root of the view tree and its link to the platform window. Created by the editor with
// the host's window; destroyed when its last reference goes (callbacks from the window hold
// one for their duration, so an editor may close inside an event).
//
// Scale: everything above the platform works in the frame's units (the 1x layout); the window
// is the bounds times the scale factor. The frame multiplies sizes and invalidations out
// (rounded outwards) and divides pointer positions back; the platform frame's window context
// draws at the same factor.
class CFrame : public CViewContainer, public IPlatformFrameCallback {
public:
    CFrame(const CRect& size, void* parentWindow, ToolkitEditorInterface* editor);
    // Makes its window and reads its ticks through `platformFactory`, which outlives the frame.
    CFrame(const CRect& size, void* parentWindow, ToolkitEditorInterface* editor,
           IPlatformFactory& platformFactory);
    ~CFrame() override;
    CFrame(const CFrame&) = delete;
    CFrame& operator=(const CFrame&) = delete;

    bool isKindOf(const char* className) const override;
    CBaseObject* clone() const override { return nullptr; }
    void draw(CDrawContext* context) override;
    void drawInRect(CDrawContext* context, const CRect& updateRect) override;
    void invalidateRect(const CRect& rect) override;
    void invalidate() override;
    MouseResult mouseDown(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseUp(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseMoved(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseExited(const CPoint& where, const ButtonState& buttons) override;
    bool wheelOnAxis(const CPoint& where, MouseWheelAxis axis, float distance,
                     const ButtonState& buttons) override;
    bool wheel(const CPoint& where, float distance, const ButtonState& buttons) override;
    DragResult doDrag(IDataPackage* source, const CPoint& offset = {},
                      CBitmap* image = nullptr) override;
    std::int32_t keyDown(VstKeyCode& keyCode) override;
    std::int32_t keyUp(VstKeyCode& keyCode) override;
    void setBounds(const CRect& rect, bool redraw = true) override;
    ToolkitEditorInterface* editor() const override { return editorInterface; }
    bool removeView(CView* view, bool withRelease = true) override;
    bool removeAll(bool withRelease = true) override;
    CView* viewAtPoint(const CPoint& where, bool deep = false) const override;
    CViewContainer* containerAtPoint(const CPoint& where, bool deep = true) const override;

    // Removes everything and releases the window, then drops the caller's reference.
    virtual void close();
    // Turns dirty views into window invalidations; call on every host idle.
    virtual void idle();
    virtual void doIdleStuff();
    // Milliseconds from the platform's counter; -1 without a window.
    virtual std::int64_t ticks() const;
    virtual std::int32_t knobMode() const;
    virtual bool setPosition(double x, double y);
    virtual bool position(CPoint& where) const;
    virtual bool setSize(double width, double height);
    virtual bool size(CRect& rect) const;
    virtual bool platformSize(CRect& rect) const;
    // A child of the frame that alone takes events while set; null ends it.
    virtual bool setModalView(CView* view);
    virtual CView* modalView() const { return modal; }
    virtual void beginEdit(std::int32_t index);
    virtual void endEdit(std::int32_t index);
    virtual bool currentMouseLocation(CPoint& where) const;
    virtual ButtonState currentMouseButtons() const;
    virtual void setCursor(CursorType type);
    virtual void setFocusView(CView* view);
    virtual CView* focusView() const { return focus; }
    virtual void viewAdded(CView* view);
    virtual void viewRemoved(CView* view);
    virtual void onActivate(bool active);
    virtual void invalidateOverlapping(const CRect& rect);
    virtual void setFocusDrawingEnabled(bool enabled);
    virtual bool focusDrawingEnabled() const;
    virtual void setFocusColor(const CColor& color);
    virtual CColor focusColor() const;
    virtual void setFocusWidth(double width);
    virtual double focusWidth() const;
    // Rounds to the nearest supported factor; asks the editor (beforeSizeChange, with the
    // window's device rectangles) and the platform frame, then resizes the window and repaints
    // it all. Without a platform frame the factor is only kept. False when refused (the frame
    // keeps its factor).
    virtual bool setScaleFactor(double scale);
    virtual double scaleFactor() const { return scale; }
    virtual IKeyboardHook* keyboardHook() const { return keyHook; }
    virtual void setKeyboardHook(IKeyboardHook* hook) { keyHook = hook; }
    virtual IViewAddedRemovedObserver* viewObserver() const { return observer; }
    virtual void setViewObserver(IViewAddedRemovedObserver* o) { observer = o; }

    void registerMouseObserver(IMouseObserver* o);
    void unregisterMouseObserver(IMouseObserver* o);
    IPlatformFrame* platformFrame() const { return platform; }
    bool isActive() const { return active; }
    // Views under the pointer, outermost first.
    const std::vector<CView*>& mouseViews() const { return hovered; }

    // IPlatformFrameCallback
    bool platformDrawRect(CDrawContext* context, const CRect& rect) override;
    MouseResult platformMouseDown(const CPoint& where, const ButtonState& buttons) override;
    MouseResult platformMouseMoved(const CPoint& where, const ButtonState& buttons) override;
    MouseResult platformMouseUp(const CPoint& where, const ButtonState& buttons) override;
    MouseResult platformMouseExited(const CPoint& where, const ButtonState& buttons) override;
    bool platformMouseWheel(const CPoint& where, MouseWheelAxis axis, float distance,
                            const ButtonState& buttons) override;
    DragResult platformDrop(IDataPackage* drag, const CPoint& where) override;
    void platformDragEnter(IDataPackage* drag, const CPoint& where) override;
    void platformDragLeave(IDataPackage* drag, const CPoint& where) override;
    void platformDragMove(IDataPackage* drag, const CPoint& where) override;
    bool platformKeyDown(VstKeyCode& keyCode) override;
    bool platformKeyUp(VstKeyCode& keyCode) override;
    void platformActivate(bool active) override;
    void platformScaleChanged(double systemScale) override;

private:
    using MouseObserverOperation = MouseResult (IMouseObserver::*)(CFrame*, const CPoint&,
                                                                   const ButtonState&);
    // Every observer sees the event, even after one has handled it.
    MouseResult askMouseObservers(MouseObserverOperation op, const CPoint& where,
                                  const ButtonState& buttons);
    using KeyHookOperation = std::int32_t (IKeyboardHook::*)(const VstKeyCode&, CFrame*);
    using KeyOperation = std::int32_t (CView::*)(VstKeyCode&);
    // Offers a key to the hook, then the focus view and its enabled ancestors, then the modal view.
    std::int32_t dispatchKey(VstKeyCode& keyCode, KeyHookOperation hookOp, KeyOperation op);
    void updateMouseViews(const CPoint& where, const ButtonState& buttons);
    void clearMouseViews(const CPoint& where, const ButtonState& buttons, bool callExited);
    void dropMouseView(std::size_t index, const CPoint& where, const ButtonState& buttons,
                       bool callExited);
    void focusChangeMessage(CView* view, IdStringPtr message);
    // What close() and the destructor share: the modal view goes, the cursor is reset, every
    // child is removed and the window let go.
    void dismantle();
    void detachFromPlatform();
    // Between the frame's units and the window's device pixels.
    CPoint fromDevice(const CPoint& where) const;
    CRect toDevice(const CRect& rect) const;
    CRect fromDevice(const CRect& rect) const;

    ToolkitEditorInterface* editorInterface;
    IKeyboardHook* keyHook = nullptr;
    IViewAddedRemovedObserver* observer = nullptr;
    CView* modal = nullptr;
    CView* focus = nullptr;
    CView* savedFocus = nullptr;
    std::vector<CView*> hovered;
    bool active = true;
    std::vector<IMouseObserver*> mouseObservers;
    IPlatformFrame* platform = nullptr;
    IPlatformFactory* factory;
    double scale = 1.0;
};

} // namespace Toolkit

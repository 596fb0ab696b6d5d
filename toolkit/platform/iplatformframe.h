#pragma once

#include "../cbaseobject.h"
#include "../cbuttonstate.h"
#include "../cpoint.h"
#include "../crect.h"
#include "../vstkeycode.h"

namespace Toolkit {

class CBitmap;
class CDrawContext;
class COffscreenContext;
class CControl;
class IDataPackage;
class IPlatformTextEdit;
class IPlatformOptionMenu;

// The frame's side of the platform window: every input and paint request arrives here, on the
// thread that owns the window. Points are in the window's client coordinates (device pixels);
// the frame divides them by its scale factor.
class IPlatformFrameCallback {
public:
    // Draws `rect` into `context`, between its beginDraw and endDraw. `rect` is in the
    // context's drawing units: the platform frame sets the frame's scale on its window context
    // and passes each device rectangle through unscaledOutward.
    virtual bool platformDrawRect(CDrawContext* context, const CRect& rect) = 0;
    // Capture the mouse until the release only when this answers mouseHandled.
    virtual MouseResult platformMouseDown(const CPoint& where, const ButtonState& buttons) = 0;
    virtual MouseResult platformMouseMoved(const CPoint& where, const ButtonState& buttons) = 0;
    virtual MouseResult platformMouseUp(const CPoint& where, const ButtonState& buttons) = 0;
    // The pointer left the window.
    virtual MouseResult platformMouseExited(const CPoint& where, const ButtonState& buttons) = 0;
    // `distance` in notches; axis verticalAxis or horizontalAxis; buttons carry modifiers only.
    virtual bool platformMouseWheel(const CPoint& where, MouseWheelAxis axis, float distance,
                                    const ButtonState& buttons) = 0;
    virtual DragResult platformDrop(IDataPackage* drag, const CPoint& where) = 0;
    virtual void platformDragEnter(IDataPackage* drag, const CPoint& where) = 0;
    virtual void platformDragLeave(IDataPackage* drag, const CPoint& where) = 0;
    virtual void platformDragMove(IDataPackage* drag, const CPoint& where) = 0;
    // True when the key was taken (the platform then swallows the key event).
    virtual bool platformKeyDown(VstKeyCode& keyCode) = 0;
    virtual bool platformKeyUp(VstKeyCode& keyCode) = 0;
    // The window gained (true) or lost (false) the keyboard focus.
    virtual void platformActivate(bool active) = 0;
    // The system's scale for the window changed (it moved to a screen of another density);
    // `systemScale` unrounded.
    virtual void platformScaleChanged(double /*systemScale*/) {}

protected:
    ~IPlatformFrameCallback() = default;
};

// The child window that the frame draws into. Made by the platform factory with one
// reference owned by the frame; releasing it destroys the window. Every rectangle and point
// here is in device pixels; only the window contexts it makes know the frame's scale.
class IPlatformFrame : public CBaseObject {
public:
    // The window's top-left corner in screen coordinates.
    virtual bool globalPosition(CPoint& position) const = 0;
    // Resizes the window (its place stays) and invalidates `newSize`.
    virtual bool setSize(const CRect& newSize) = 0;
    // The window's rectangle in its own client coordinates ((0, 0) at the top-left).
    virtual bool size(CRect& size) const = 0;
    // The pointer in client coordinates; false without a window.
    virtual bool mousePosition(CPoint& position) const = 0;
    // Adds the currently pressed buttons and modifier keys to `buttons`.
    virtual bool mouseButtons(ButtonState& buttons) const = 0;
    virtual bool setCursor(CursorType type) = 0;
    // Marks `rect` for repainting; the window merges rectangles until the next paint.
    virtual bool invalidateRect(const CRect& rect) = 0;
    virtual bool scrollRect(const CRect& /*src*/, const CPoint& /*distance*/) { return false; }
    virtual bool showTooltip(const CRect& /*rect*/, const char* /*utf8Text*/) { return false; }
    virtual bool hideTooltip() { return false; }
    virtual void* nativeHandle() const = 0;
    virtual IPlatformTextEdit* createTextEdit(CControl* /*control*/) { return nullptr; }
    virtual IPlatformOptionMenu* createOptionMenu() { return nullptr; }
    // A context drawing into a new bitmap of that size, one reference for the caller.
    virtual COffscreenContext* createOffscreenContext(double width, double height) = 0;
    virtual DragResult doDrag(IDataPackage* /*source*/, const CPoint& /*offset*/,
                              CBitmap* /*image*/) {
        return dragError;
    }
    // Device pixels per frame unit (one of kSupportedScaleFactors) for the window contexts made
    // from now on: the next paint draws at it (the frame resizes the window itself, with
    // setSize). False from a platform that draws at 1x only; the frame then stays at 1x.
    virtual bool setScaleFactor(double /*scale*/) { return false; }

    bool isKindOf(const char* className) const override {
        return nameIs(className, "IPlatformFrame") || CBaseObject::isKindOf(className);
    }
};

} // namespace Toolkit

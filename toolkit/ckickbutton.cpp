#include "ckickbutton.h"

#include "cbitmap.h"
#include "cdrawcontext.h"

namespace Toolkit {

CKickButton::CKickButton(const CRect& size, CControlListener* l, std::int32_t tag,
                         CBitmap* background, const CPoint& off)
    : CControl(size, l, tag, background), offset(off) {
    heightOfOneImage = size.height();
    setAcceptsFocus(true);
}

CKickButton::CKickButton(const CRect& size, CControlListener* l, std::int32_t tag,
                         double imageHeight, CBitmap* background, const CPoint& off)
    : CControl(size, l, tag, background), offset(off) {
    heightOfOneImage = imageHeight;
    setAcceptsFocus(true);
}

bool CKickButton::isKindOf(const char* className) const {
    return nameIs(className, "CKickButton") || CControl::isKindOf(className);
}

void CKickButton::draw(CDrawContext* context) {
    CPoint where = offset;
    clampValue();
    const float shown = value();
    if (shown == maxValue()) {
        where.y += heightOfOneImage;
    }
    if (CBitmap* bg = background()) {
        bg->draw(context, bounds(), where, 1.0f);
    }
    markDrawn(shown);
}

MouseResult CKickButton::mouseDown(const CPoint& where, const ButtonState& buttons) {
    if (!buttons.has(leftButton)) {
        return mouseNotHandled;
    }
    entryValue = value();
    storeValue(maxValue());
    invalidate();
    beginEdit();
    notifyValueChanged();
    pressed = true;
    return mouseMoved(where, buttons);
}

MouseResult CKickButton::mouseMoved(const CPoint& where, const ButtonState& buttons) {
    if (buttons.has(leftButton)) {
        storeValue(bounds().pointInside(where) ? maxValue() : minValue());
        if (isDirty()) {
            invalidate();
        }
    }
    return mouseHandled;
}

MouseResult CKickButton::mouseUp(const CPoint&, const ButtonState&) {
    storeValue(minValue());
    notifyValueChanged();
    if (isDirty()) {
        invalidate();
    }
    endEdit();
    pressed = false;
    return mouseHandled;
}

std::int32_t CKickButton::keyDown(VstKeyCode& keyCode) {
    if (keyCode.virt != VKEY_RETURN || keyCode.modifier != 0) {
        return -1;
    }
    if (value() == maxValue()) {
        return 1;
    }
    beginEdit();
    keyEditOpen = true;
    storeValue(maxValue());
    invalidate();
    notifyValueChanged();
    return 1;
}

std::int32_t CKickButton::keyUp(VstKeyCode& keyCode) {
    if (keyCode.virt != VKEY_RETURN || keyCode.modifier != 0) {
        return -1;
    }
    storeValue(minValue());
    invalidate();
    notifyValueChanged();
    // A release whose press was not seen here (focus arrived with the key held) must not
    // end an edit that was never begun.
    if (keyEditOpen) {
        keyEditOpen = false;
        endEdit();
    }
    return 1;
}

bool CKickButton::fitToContent() {
    return fitToBackground(heightOfOneImage);
}

void CKickButton::setImageCount(std::int32_t count) {
    numberOfImages = count;
    invalidate();
}

} // namespace Toolkit

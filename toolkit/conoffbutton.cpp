#include "conoffbutton.h"

#include "cbitmap.h"
#include "cdrawcontext.h"

namespace Toolkit {

COnOffButton::COnOffButton(const CRect& size, CControlListener* l, std::int32_t tag,
                           CBitmap* background, std::int32_t style)
    : CControl(size, l, tag, background), buttonStyle(style) {
    setAcceptsFocus(true);
}

bool COnOffButton::isKindOf(const char* className) const {
    return nameIs(className, "COnOffButton") || CControl::isKindOf(className);
}

void COnOffButton::draw(CDrawContext* context) {
    const float shown = value();
    if (CBitmap* bg = background()) {
        const double y = shown == maxValue() ? bg->height() / 2.0 : 0.0;
        bg->draw(context, bounds(), CPoint(0, y), 1.0f);
    }
    markDrawn(shown);
}

void COnOffButton::toggle() {
    storeValue(value() == maxValue() ? minValue() : maxValue());
    invalidate();
    beginEdit();
    notifyValueChanged();
    endEdit();
}

MouseResult COnOffButton::mouseDown(const CPoint&, const ButtonState& buttons) {
    if (!buttons.has(leftButton)) {
        return mouseNotHandled;
    }
    toggle();
    return mouseHandledNoTracking;
}

std::int32_t COnOffButton::keyDown(VstKeyCode& keyCode) {
    if (keyCode.virt != VKEY_RETURN || keyCode.modifier != 0) {
        return -1;
    }
    toggle();
    return 1;
}

bool COnOffButton::fitToContent() {
    const CBitmap* bg = background();
    return bg && fitToBackground(bg->height() / 2.0);
}

} // namespace Toolkit

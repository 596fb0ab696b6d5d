#pragma once

#include "ccontrol.h"
#include "imultibitmapcontrol.h"

namespace Toolkit {

// A momentary button: maxValue while held, minValue otherwise; the lower image is the pressed
// one. `pressed` is true from just after the press's valueChanged until just after the
// release's endEdit, so a listener can tell a press (false) from a release (true).
class CKickButton : public CControl, public IMultiBitmapControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, std::int32_t tag,
                CBitmap* background, const CPoint& offset = CPoint(0, 0));
    CKickButton(const CRect& size, CControlListener* listener, std::int32_t tag, double imageHeight,
                CBitmap* background, const CPoint& offset = CPoint(0, 0));

    bool isKindOf(const char* className) const override;
    CBaseObject* clone() const override { return new CKickButton(*this); }
    void draw(CDrawContext* context) override;
    MouseResult mouseDown(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseUp(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseMoved(const CPoint& where, const ButtonState& buttons) override;
    std::int32_t keyDown(VstKeyCode& keyCode) override;
    std::int32_t keyUp(VstKeyCode& keyCode) override;
    bool fitToContent() override;
    void setImageCount(std::int32_t count) override;

    bool pressed = false;

private:
    CPoint offset;
    float entryValue = 0.0f;
    bool keyEditOpen = false;
};

} // namespace Toolkit

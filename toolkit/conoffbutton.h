#pragma once

#include "ccontrol.h"

namespace Toolkit {

// A toggle: the upper half of its bitmap is the off image, the lower half the on image. Only
// exactly maxValue counts as on. Toggles on press; takes no moves.
class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, CControlListener* listener = nullptr, std::int32_t tag = 0,
                 CBitmap* background = nullptr, std::int32_t style = 0);

    bool isKindOf(const char* className) const override;
    CBaseObject* clone() const override { return new COnOffButton(*this); }
    void draw(CDrawContext* context) override;
    MouseResult mouseDown(const CPoint& where, const ButtonState& buttons) override;
    std::int32_t keyDown(VstKeyCode& keyCode) override;
    bool fitToContent() override;

    virtual std::int32_t style() const { return buttonStyle; }
    virtual void setStyle(std::int32_t s) { buttonStyle = s; }

private:
    void toggle();

    std::int32_t buttonStyle;
};

} // namespace Toolkit

#pragma once

#include "cknob.h"
#include "imultibitmapcontrol.h"

namespace Toolkit {

// A knob drawn as one image of a vertical filmstrip: value v in [0, 1] shows image
// floor(v x (count - 1)); `inverted` runs the strip backwards.
class CAnimKnob : public CKnob, public IMultiBitmapControl {
public:
    CAnimKnob(const CRect& size, CControlListener* listener, std::int32_t tag,
              std::int32_t imageCount, double imageHeight, CBitmap* background,
              const CPoint& offset = CPoint(0, 0));

    bool isKindOf(const char* className) const override;
    CBaseObject* clone() const override { return new CAnimKnob(*this); }
    void draw(CDrawContext* context) override;
    bool fitToContent() override;
    void setBackground(CBitmap* bitmap) override;
    void setImageHeight(double height) override;
    void setImageCount(std::int32_t count) override;

    void setInverted(bool invert) { inverted = invert; }
    bool isInverted() const { return inverted; }
    // Source y of the image that shows value `v`.
    double imageOffsetY(float v) const;

private:
    bool inverted = false;
};

} // namespace Toolkit

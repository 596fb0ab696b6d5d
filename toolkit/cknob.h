#pragma once

#include "ccolor.h"
#include "ccontrol.h"

namespace Toolkit {

// Knob modes as the editor reports them; everything but linearMode drags circularly.
enum KnobMode : std::int32_t {
    circularMode = 0,
    relativeCircularMode = 1,
    linearMode = 2,
};

enum KnobDrawStyle : std::int32_t {
    kHandleCircleDrawing = 1 << 0,
    kCoronaDrawing = 1 << 1,
};

// A rotary control. Dragged linearly (up or right increases; 200 px for the full range,
// zoomFactor times more with the fine-adjustment key) or circularly (the angle under the
// pointer; crossing the dead zone at the bottom pins the knob at the end it came from).
class CKnob : public CControl {
public:
    CKnob(const CRect& size, CControlListener* listener, std::int32_t tag, CBitmap* background,
          CBitmap* handle, const CPoint& offset = CPoint(0, 0), std::int32_t drawStyle = 0);
    CKnob(const CKnob& other);
    ~CKnob() override;

    bool isKindOf(const char* className) const override;
    CBaseObject* clone() const override { return new CKnob(*this); }
    void draw(CDrawContext* context) override;
    MouseResult mouseDown(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseUp(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseMoved(const CPoint& where, const ButtonState& buttons) override;
    bool wheel(const CPoint& where, float distance, const ButtonState& buttons) override;
    std::int32_t keyDown(VstKeyCode& keyCode) override;
    void setBounds(const CRect& rect, bool redraw = true) override;
    bool fitToContent() override;
    void setMinValue(float v) override;
    void setMaxValue(float v) override;

    virtual void setStartAngle(float angle);
    virtual float startAngle() const { return startAng; }
    virtual void setRangeAngle(float angle);
    virtual float rangeAngle() const { return rangeAng; }
    // The handle's tip for the current value, in view-local coordinates.
    virtual void pointFromValue(CPoint& point) const;
    // The value whose angle points at `point` (view-local coordinates).
    virtual float valueFromPoint(const CPoint& point) const;
    virtual double inset() const { return insetPx; }
    virtual void setInset(double inset) { insetPx = inset; }
    virtual std::int32_t drawStyle() const { return style; }
    virtual void setDrawStyle(std::int32_t style);
    virtual CColor coronaColor() const { return corona; }
    virtual void setCoronaColor(const CColor& color);
    virtual double coronaInset() const { return coronaInsetPx; }
    virtual void setCoronaInset(double inset);
    virtual CColor handleShadowColor() const { return shadow; }
    virtual void setHandleShadowColor(const CColor& color);
    virtual CColor handleColor() const { return handle; }
    virtual void setHandleColor(const CColor& color);
    virtual double handleLineWidth() const { return lineWidth; }
    virtual void setHandleLineWidth(double width);
    virtual CBitmap* handleBitmap() const { return handleBmp; }
    virtual void setHandleBitmap(CBitmap* bitmap);
    virtual void setZoomFactor(float factor) { zoom = factor; }
    virtual float zoomFactor() const { return zoom; }
    virtual void drawHandle(CDrawContext* context);

protected:
    CPoint offset;

private:
    std::int32_t style;
    CColor handle = kWhiteCColor;
    CColor shadow = kGreyCColor;
    CColor corona = kWhiteCColor;
    double lineWidth = 1.0;
    double insetPx = 3.0;
    double coronaInsetPx = 0.0;
    CBitmap* handleBmp = nullptr;
    float startAng;
    float rangeAng;
    float zoom = 1.5f;

    // Drag state, from press to release.
    CPoint firstPoint;
    CPoint lastPoint;
    float startValue = 0.0f;
    float entryValue = 0.0f;
    float pixelRange = 200.0f;
    float valuePerPixel = 0.0f;
    ButtonState lastButtons;
    bool linearDrag = false;
};

} // namespace Toolkit

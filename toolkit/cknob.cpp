#include "cknob.h"

#include "cbitmap.h"
#include "cdrawcontext.h"
#include "cframe.h"

#include <cmath>
#include <numbers>

namespace Toolkit {

namespace {
constexpr float kDefaultPixelRange = 200.0f;

// The key record's modifier bits as button-state modifier bits.
ButtonState modifiersOf(const VstKeyCode& key) {
    ButtonState b;
    if (key.modifier & MODIFIER_SHIFT) {
        b |= shiftKey;
    }
    if (key.modifier & MODIFIER_ALTERNATE) {
        b |= altKey;
    }
    if (key.modifier & MODIFIER_COMMAND) {
        b |= appleKey;
    }
    if (key.modifier & MODIFIER_CONTROL) {
        b |= controlKey;
    }
    return b;
}
} // namespace

CKnob::CKnob(const CRect& size, CControlListener* l, std::int32_t tag, CBitmap* background,
             CBitmap* handleBitmap, const CPoint& off, std::int32_t drawStyle)
    : CControl(size, l, tag, background), offset(off), style(drawStyle), handleBmp(handleBitmap),
      startAng(static_cast<float>(3.0 * std::numbers::pi / 4.0)),
      rangeAng(static_cast<float>(3.0 * std::numbers::pi / 2.0)) {
    if (handleBmp) {
        handleBmp->addReference();
        insetPx = handleBmp->width() / 2.0 + 2.5;
    }
    setAcceptsFocus(true);
    markDirty(true);
}

CKnob::CKnob(const CKnob& other)
    : CControl(other), offset(other.offset), style(other.style), handle(other.handle),
      shadow(other.shadow), corona(other.corona), lineWidth(other.lineWidth),
      insetPx(other.insetPx), coronaInsetPx(other.coronaInsetPx), handleBmp(other.handleBmp),
      startAng(other.startAng), rangeAng(other.rangeAng), zoom(other.zoom) {
    if (handleBmp) {
        handleBmp->addReference();
    }
}

CKnob::~CKnob() {
    if (handleBmp) {
        handleBmp->releaseReference();
    }
}

bool CKnob::isKindOf(const char* className) const {
    return nameIs(className, "CKnob") || CControl::isKindOf(className);
}

// ---- Drawing ----------------------------------------------------------------------------

void CKnob::draw(CDrawContext* context) {
    const float shown = value();
    if (CBitmap* bg = background()) {
        bg->draw(context, bounds(), offset, 1.0f);
    }
    drawHandle(context);
    markDrawn(shown);
}

void CKnob::pointFromValue(CPoint& point) const {
    const double cx = bounds().width() * 0.5;
    const double cy = bounds().height() * 0.5;
    const double angle = startAng + normalizedValue() * rangeAng;
    point = CPoint(cx + (cx - insetPx) * std::cos(angle), cy + (cy - insetPx) * std::sin(angle));
}

void CKnob::drawHandle(CDrawContext* context) {
    CPoint tip;
    pointFromValue(tip);
    const CPoint origin = bounds().topLeft();
    if (handleBmp) {
        const double w = handleBmp->width();
        const double h = handleBmp->height();
        CRect r(tip.x - w / 2.0, tip.y - h / 2.0, tip.x + w / 2.0, tip.y + h / 2.0);
        handleBmp->draw(context, r.offset(origin), CPoint(0, 0), 1.0f);
        return;
    }
    // A plain line from the centre to the tip, with a one-pixel shadow.
    const CPoint centre(origin.x + bounds().width() * 0.5, origin.y + bounds().height() * 0.5);
    const CPoint end = tip + origin;
    context->setDrawMode(kAntiAliasing);
    context->setLineWidth(lineWidth);
    context->setFrameColor(shadow);
    context->moveTo(centre + CPoint(1, 1));
    context->lineTo(end + CPoint(1, 1));
    context->setFrameColor(handle);
    context->moveTo(centre);
    context->lineTo(end);
}

// ---- Value from angle -------------------------------------------------------------------

float CKnob::valueFromPoint(const CPoint& p) const {
    const double cx = bounds().width() * 0.5;
    const double cy = bounds().height() * 0.5;
    const double half = rangeAng * 0.5;
    // A knob smaller than twice its inset would divide by zero or flip the axes.
    const double rx = cx - insetPx > 0.0 ? cx - insetPx : 1.0;
    const double ry = cy - insetPx > 0.0 ? cy - insetPx : 1.0;
    double alpha = std::atan2((p.y - cy) / ry, (p.x - cx) / rx) - (startAng + half);
    const double pi = std::numbers::pi;
    while (alpha >= pi) {
        alpha -= 2.0 * pi;
    }
    while (alpha < -pi) {
        alpha += 2.0 * pi;
    }
    if (half < 0.0) {
        alpha = -alpha;
    }
    double n;
    if (alpha > half) {
        n = 1.0;
    } else if (alpha < -half) {
        n = 0.0;
    } else {
        n = alpha / rangeAng + 0.5;
    }
    return static_cast<float>(minValue() + (maxValue() - minValue()) * n);
}

// ---- Mouse, wheel and keys --------------------------------------------------------------

MouseResult CKnob::mouseDown(const CPoint& where, const ButtonState& buttons) {
    if (!isLeftButtonOnly(buttons)) {
        return mouseNotHandled;
    }
    beginEdit();
    if (resetOnModifierClick(buttons)) {
        endEdit();
        return mouseHandledNoTracking;
    }
    firstPoint = where;
    lastPoint = CPoint(-1, -1);
    startValue = drawnValue();
    entryValue = value();
    linearDrag = false;
    pixelRange = kDefaultPixelRange;
    valuePerPixel = (maxValue() - minValue()) / pixelRange;
    lastButtons = buttons;

    const std::int32_t mode = frame() ? frame()->knobMode() : circularMode;
    const bool alt = buttons.has(altKey);
    if ((mode == linearMode && !alt) || (mode != linearMode && alt)) {
        if (buttons.has(zoomModifier)) {
            pixelRange *= zoom;
        }
        lastPoint = where;
        linearDrag = true;
        valuePerPixel = (maxValue() - minValue()) / pixelRange;
    } else {
        startValue = valueFromPoint(where - bounds().topLeft());
        lastPoint = where;
    }
    return mouseMoved(where, buttons);
}

MouseResult CKnob::mouseMoved(const CPoint& where, const ButtonState& buttons) {
    if (!isLeftButtonOnly(buttons)) {
        return mouseHandled;
    }
    const float middle = (maxValue() - minValue()) * 0.5f;
    if (where == lastPoint) {
        return mouseHandled;
    }
    lastPoint = where;

    if (linearDrag) {
        const float diff = static_cast<float>((firstPoint.y - where.y) + (where.x - firstPoint.x));
        if (buttons != lastButtons) {
            // Re-base so that a modifier pressed or released mid-drag does not jump.
            pixelRange = kDefaultPixelRange;
            if (buttons.has(zoomModifier)) {
                pixelRange *= zoom;
            }
            const float coef2 = (maxValue() - minValue()) / pixelRange;
            entryValue += (valuePerPixel - coef2) * diff;
            valuePerPixel = coef2;
            lastButtons = buttons;
        }
        storeValue(entryValue + valuePerPixel * diff);
        clampValue();
    } else {
        const float v = valueFromPoint(where - bounds().topLeft());
        storeValue(v);
        if (startValue - v > middle) {
            storeValue(maxValue());
        } else if (v - startValue > middle) {
            storeValue(minValue());
        } else {
            startValue = v;
        }
    }
    if (value() != drawnValue()) {
        notifyValueChanged();
    }
    if (isDirty()) {
        invalidate();
    }
    return mouseHandled;
}

MouseResult CKnob::mouseUp(const CPoint&, const ButtonState&) {
    endEdit();
    return mouseHandled;
}

bool CKnob::wheel(const CPoint&, float distance, const ButtonState& buttons) {
    if (!isMouseEnabled()) {
        return false;
    }
    const float delta =
        buttons.has(zoomModifier) ? distance * 0.1f * wheelStep() : distance * wheelStep();
    setNormalizedValue(normalizedValue() + delta);
    if (isDirty()) {
        invalidate();
        beginEdit();
        notifyValueChanged();
        endEdit();
    }
    return true;
}

std::int32_t CKnob::keyDown(VstKeyCode& keyCode) {
    float step;
    switch (keyCode.virt) {
    case VKEY_LEFT:
    case VKEY_DOWN:
        step = -1.0f;
        break;
    case VKEY_UP:
    case VKEY_RIGHT:
        step = 1.0f;
        break;
    default:
        return -1;
    }
    if (modifiersOf(keyCode).has(zoomModifier)) {
        step *= 0.1f;
    }
    setNormalizedValue(normalizedValue() + step * wheelStep());
    if (isDirty()) {
        invalidate();
        beginEdit();
        notifyValueChanged();
        endEdit();
    }
    return 1;
}

// ---- Settings ---------------------------------------------------------------------------

void CKnob::setBounds(const CRect& rect, bool redraw) {
    CView::setBounds(rect, redraw);
    markDirty(true);
}

bool CKnob::fitToContent() {
    const CBitmap* bg = background();
    return bg && fitToBackground(bg->height());
}

void CKnob::setMinValue(float v) {
    CControl::setMinValue(v);
    if (value() < v) {
        setValue(v);
    }
    markDirty(true);
}

void CKnob::setMaxValue(float v) {
    CControl::setMaxValue(v);
    if (value() > v) {
        setValue(v);
    }
    markDirty(true);
}

void CKnob::setStartAngle(float angle) {
    startAng = angle;
    markDirty(true);
}

void CKnob::setRangeAngle(float angle) {
    rangeAng = angle;
    markDirty(true);
}

void CKnob::setDrawStyle(std::int32_t s) {
    if (s != style) {
        style = s;
        markDirty(true);
    }
}

void CKnob::setCoronaColor(const CColor& color) {
    if (!(color == corona)) {
        corona = color;
        markDirty(true);
    }
}

void CKnob::setCoronaInset(double inset) {
    if (inset != coronaInsetPx) {
        coronaInsetPx = inset;
        markDirty(true);
    }
}

void CKnob::setHandleShadowColor(const CColor& color) {
    if (!(color == shadow)) {
        shadow = color;
        markDirty(true);
    }
}

void CKnob::setHandleColor(const CColor& color) {
    if (!(color == handle)) {
        handle = color;
        markDirty(true);
    }
}

void CKnob::setHandleLineWidth(double width) {
    if (width != lineWidth) {
        lineWidth = width;
        markDirty(true);
    }
}

void CKnob::setHandleBitmap(CBitmap* bitmap) {
    if (bitmap) {
        bitmap->addReference();
    }
    if (handleBmp) {
        handleBmp->releaseReference();
    }
    handleBmp = bitmap;
    if (handleBmp) {
        insetPx = handleBmp->width() / 2.0 + 2.5;
    }
    markDirty(true);
}

} // namespace Toolkit

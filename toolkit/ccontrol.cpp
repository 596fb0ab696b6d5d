#include "ccontrol.h"

#include "cbitmap.h"
#include "cframe.h"

#include <algorithm>
#include <cmath>

namespace Toolkit {

const IdStringPtr kMessageValueChanged = "kMessageValueChanged";
const IdStringPtr kMessageBeginEdit = "kMessageBeginEdit";
const IdStringPtr kMessageEndEdit = "kMessageEndEdit";
const IdStringPtr kMessageTagWillChange = "kMessageTagWillChange";
const IdStringPtr kMessageTagDidChange = "kMessageTagDidChange";

CControl::CControl(const CRect& size, CControlListener* l, std::int32_t tag, CBitmap* background)
    : CView(size), controlListener(l), controlTag(tag) {
    setTransparent(false);
    setMouseEnabled(true);
    CView::setBackground(background);
    markDirty(true);
}

CControl::CControl(const CControl& other)
    : CView(other), IFocusDrawing(), IDependency(), controlListener(other.controlListener),
      controlTag(other.controlTag), lastDrawnValue(other.lastDrawnValue),
      defaultVal(other.defaultVal), currentValue(other.value()), minimum(other.minimum),
      maximum(other.maximum), step_(other.step_), backOff(other.backOff) {}

CControl::~CControl() = default;

bool CControl::isKindOf(const char* className) const {
    return nameIs(className, "CControl") || CView::isKindOf(className);
}

bool CControl::isDirty() const {
    return lastDrawnValue != value() || CView::isDirty();
}

void CControl::markDirty(bool dirty) {
    CView::markDirty(dirty);
    if (dirty) {
        lastDrawnValue = value() == -1.0f ? 0.0f : -1.0f;
    } else {
        lastDrawnValue = value();
    }
}

void CControl::setValue(float v) {
    if (std::isnan(v)) {
        return;
    }
    v = std::clamp(v, minValue(), std::max(minValue(), maxValue()));
    if (v != value()) {
        storeValue(v);
        notifyDependents(kMessageValueChanged);
    }
}

void CControl::setNormalizedValue(float normalized) {
    // NaN compares false everywhere; map it to the minimum rather than storing it.
    const float n = normalized >= 0.0f ? std::min(normalized, 1.0f) : 0.0f;
    setValue(minValue() + (maxValue() - minValue()) * n);
}

float CControl::normalizedValue() const {
    const float range = maxValue() - minValue();
    return range != 0.0f ? (value() - minValue()) / range : 0.0f;
}

void CControl::clampValue() {
    const float v = value();
    if (v > maxValue()) {
        storeValue(maxValue());
    } else if (v < minValue()) {
        storeValue(minValue());
    }
}

bool CControl::resetOnModifierClick(const ButtonState& buttons) {
    if (!isLeftButtonOnly(buttons) || (buttons.modifiers() & defaultValueModifier) == 0) {
        return false;
    }
    if (defaultValue() != value()) {
        beginEdit();
        setValue(defaultValue());
        notifyValueChanged();
        endEdit();
    }
    return true;
}

void CControl::notifyValueChanged() {
    if (controlListener) {
        controlListener->valueChanged(this);
    }
    notifyDependents(kMessageValueChanged);
}

void CControl::setTag(std::int32_t tag) {
    if (controlListener) {
        controlListener->tagWillChange(this);
    }
    notifyDependents(kMessageTagWillChange);
    controlTag = tag;
    if (controlListener) {
        controlListener->tagDidChange(this);
    }
    notifyDependents(kMessageTagDidChange);
}

void CControl::beginEdit() {
    if (controlListener) {
        controlListener->editBegan(this);
    }
    notifyDependents(kMessageBeginEdit);
    if (frame()) {
        frame()->beginEdit(controlTag);
    }
}

void CControl::endEdit() {
    if (frame()) {
        frame()->endEdit(controlTag);
    }
    if (controlListener) {
        controlListener->editEnded(this);
    }
    notifyDependents(kMessageEndEdit);
}

void CControl::doIdleStuff() {
    if (frame()) {
        frame()->doIdleStuff();
    }
}

bool CControl::fitToBackground(double imageHeight) {
    CBitmap* bg = background();
    if (!bg) {
        return false;
    }
    CRect r = bounds();
    r.setWidth(bg->width()).setHeight(imageHeight);
    setBounds(r, true);
    setMouseArea(r);
    return true;
}

} // namespace Toolkit

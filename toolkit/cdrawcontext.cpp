#include "cdrawcontext.h"

#include "scalefactor.h"

namespace Toolkit {

CDrawContext::CDrawContext(const CRect& surfaceRect)
    : surface(surfaceRect), pixelSurface(surfaceRect) {
    currentState.clip = surface;
}

void CDrawContext::setScaleFactor(double newScale) {
    scale = nearestSupportedScale(newScale);
    surface = scale == 1.0 ? pixelSurface : unscaledOutward(pixelSurface, scale);
    currentState.clip = surface;
}

void CDrawContext::setClipRect(const CRect& clip) {
    CRect device = clip;
    currentState.clip = device.offset(currentState.offset);
}

void CDrawContext::resetClipRect() {
    currentState.clip = surface;
}

CRect CDrawContext::clipRect() const {
    CRect r = currentState.clip;
    return r.offset(-currentState.offset.x, -currentState.offset.y);
}

void CDrawContext::setFont(CFontDesc* font, double, std::int32_t) {
    currentState.font = font;
}

void CDrawContext::saveGlobalState() {
    stateStack.push_back(currentState);
}

void CDrawContext::restoreGlobalState() {
    // An unbalanced restore keeps the current state rather than reading past the stack.
    if (stateStack.empty()) {
        return;
    }
    State saved = stateStack.back();
    stateStack.pop_back();
    currentState = saved;
}

void CDrawContext::applyDefaults() {
    setFrameColor(kWhiteCColor);
    setLineStyle(kLineSolid);
    setLineWidth(1.0);
    setFillColor(kBlackCColor);
    setFontColor(kWhiteCColor);
    setFont(nullptr);
    setDrawMode(kAliasing);
    resetClipRect();
}

bool CDrawContext::isKindOf(const char* className) const {
    return nameIs(className, "CDrawContext") || CBaseObject::isKindOf(className);
}

} // namespace Toolkit

#include "canimknob.h"

#include "cbitmap.h"
#include "cdrawcontext.h"

#include <algorithm>
#include <cmath>

namespace Toolkit {

CAnimKnob::CAnimKnob(const CRect& size, CControlListener* l, std::int32_t tag, std::int32_t count,
                     double height, CBitmap* background, const CPoint& off)
    : CKnob(size, l, tag, background, nullptr, off, 0) {
    numberOfImages = count;
    invalidate();
    heightOfOneImage = height;
    if (background && height != 0.0) {
        numberOfImages = static_cast<std::int32_t>(background->height() / height);
    }
    setInset(0.0);
}

bool CAnimKnob::isKindOf(const char* className) const {
    return nameIs(className, "CAnimKnob") || CKnob::isKindOf(className);
}

double CAnimKnob::imageOffsetY(float shown) const {
    const auto step = static_cast<long long>(heightOfOneImage);
    if (shown < 0.0f || heightOfOneImage <= 0.0 || step <= 0) {
        return 0.0;
    }
    const double span = (imageCount() - 1) * heightOfOneImage;
    // The raw value is read as a fraction; outside [0, 1] it would leave the strip.
    double v = std::clamp(static_cast<double>(shown), 0.0, 1.0);
    if (inverted) {
        v = 1.0 - v;
    }
    double y = std::floor(v * span);
    y -= static_cast<double>(static_cast<long long>(y) % step);
    return std::max(y, 0.0);
}

void CAnimKnob::draw(CDrawContext* context) {
    const float shown = value();
    if (CBitmap* bg = background()) {
        bg->draw(context, bounds(), CPoint(0, imageOffsetY(shown)), 1.0f);
    }
    markDrawn(shown);
}

bool CAnimKnob::fitToContent() {
    return fitToBackground(heightOfOneImage);
}

void CAnimKnob::setBackground(CBitmap* bitmap) {
    CView::setBackground(bitmap);
    if (heightOfOneImage == 0.0) {
        heightOfOneImage = bounds().height();
    }
    if (bitmap && heightOfOneImage != 0.0) {
        setImageCount(static_cast<std::int32_t>(bitmap->height() / heightOfOneImage));
    }
}

void CAnimKnob::setImageHeight(double height) {
    heightOfOneImage = height;
    if (background() && height != 0.0) {
        numberOfImages = static_cast<std::int32_t>(background()->height() / height);
    }
}

void CAnimKnob::setImageCount(std::int32_t count) {
    numberOfImages = count;
    invalidate();
}

} // namespace Toolkit

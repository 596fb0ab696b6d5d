#include "coffscreencontext.h"

#include "cbitmap.h"

namespace Toolkit {

namespace {
CRect surfaceOf(const CBitmap* bitmap) {
    return bitmap ? CRect(0, 0, bitmap->width(), bitmap->height()) : CRect();
}
} // namespace

COffscreenContext::COffscreenContext(CBitmap* bitmap)
    : CDrawContext(surfaceOf(bitmap)), target(bitmap) {
    if (target) {
        target->addReference();
    }
}

COffscreenContext::~COffscreenContext() {
    if (target) {
        target->releaseReference();
    }
}

bool COffscreenContext::isKindOf(const char* className) const {
    return nameIs(className, "COffscreenContext") || CDrawContext::isKindOf(className);
}

} // namespace Toolkit

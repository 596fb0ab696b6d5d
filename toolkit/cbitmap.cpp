#include "cbitmap.h"

#include "cdrawcontext.h"
#include "platform/iplatformbitmap.h"
#include "platform/iplatformfactory.h"

namespace Toolkit {

CBitmap::CBitmap() = default;

CBitmap::CBitmap(const CResourceRef& res) : resource(res) {
    platform = getPlatformFactory().createBitmapFromResource(res);
}

CBitmap::CBitmap(double width, double height) {
    platform = getPlatformFactory().createBitmap(CPoint(width, height));
}

CBitmap::CBitmap(IPlatformBitmap* platformBitmap) {
    setPlatformBitmap(platformBitmap);
}

CBitmap::~CBitmap() {
    setPlatformBitmap(nullptr);
}

bool CBitmap::isKindOf(const char* className) const {
    return nameIs(className, "CBitmap") || CBaseObject::isKindOf(className);
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset, float alpha) {
    if (context) {
        context->drawBitmap(this, rect, offset, alpha);
    }
}

double CBitmap::width() const {
    return platform ? platform->size().x : 0.0;
}

double CBitmap::height() const {
    return platform ? platform->size().y : 0.0;
}

void CBitmap::setPlatformBitmap(IPlatformBitmap* bitmap) {
    if (bitmap == platform) {
        return;
    }
    if (bitmap) {
        bitmap->addReference();
    }
    if (platform) {
        platform->releaseReference();
    }
    platform = bitmap;
}

} // namespace Toolkit

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
    setDoubleSizePlatformBitmap(nullptr);
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
    // A variant belongs to the image it was made for.
    if (doubleSize) {
        doubleSize->releaseReference();
        doubleSize = nullptr;
    }
    doubleSizeLooked = false;
}

IPlatformBitmap* CBitmap::platformBitmapFor(double scale, double& pixelsPerUnit) {
    pixelsPerUnit = 1.0;
    if (!platform || scale == 1.0) {
        return platform;
    }
    if (!doubleSizeLooked) {
        doubleSizeLooked = true;
        // Resource ids are 16 bits: an id whose variant would not be one has none.
        if (!doubleSize && resource.kind() == CResourceRef::kNumeric && resource.id() > 0 &&
            resource.id() <= 0xffff - kDoubleSizeIdOffset) {
            if (IPlatformBitmap* found = getPlatformFactory().createBitmapFromResource(
                    CResourceRef(resource.id() + kDoubleSizeIdOffset))) {
                setDoubleSizePlatformBitmap(found);
                found->releaseReference();
            }
        }
    }
    if (doubleSize) {
        pixelsPerUnit = 2.0;
        return doubleSize;
    }
    return platform;
}

bool CBitmap::setDoubleSizePlatformBitmap(IPlatformBitmap* bitmap) {
    if (bitmap == doubleSize) {
        return true;
    }
    if (bitmap) {
        const CPoint own = platform ? platform->size() : CPoint();
        const CPoint twice = bitmap->size();
        if (own.x <= 0.0 || own.y <= 0.0 || twice.x != 2.0 * own.x || twice.y != 2.0 * own.y) {
            return false;
        }
        bitmap->addReference();
    }
    if (doubleSize) {
        doubleSize->releaseReference();
    }
    doubleSize = bitmap;
    doubleSizeLooked = true;
    return true;
}

} // namespace Toolkit

#pragma once

#include "../cbaseobject.h"
#include "../cpoint.h"
#include "../cresourceref.h"

namespace Toolkit {

class IPlatformBitmapPixelAccess;

// The back-end's decoded image.
class IPlatformBitmap : public CBaseObject {
public:
    // Finds and decodes the image; false leaves the bitmap without an image.
    virtual bool load(const CResourceRef& resource) = 0;
    // Width and height in pixels; (0, 0) without an image.
    virtual CPoint size() const = 0;
    // Direct pixel access is not offered by the back-ends of this toolkit.
    virtual IPlatformBitmapPixelAccess* lockPixels(bool /*alphaPremultiplied*/) { return nullptr; }
    // Decodes now what the first draw would decode, so that draw is quick. Any thread, for a
    // bitmap that thread alone uses.
    virtual void prepare() {}
    // True when a draw decodes only the rows it shows, so a filmstrip's first draw decodes one
    // picture, not the strip.
    virtual bool decodesInSlices() const { return false; }

    bool isKindOf(const char* className) const override {
        return nameIs(className, "IPlatformBitmap") || CBaseObject::isKindOf(className);
    }
};

// `image` as the back-end's own class `Kind`, whose isKindOf answers true for `kind`; null for
// null and for an image another back-end made.
template <class Kind> Kind* imageOfKind(IPlatformBitmap* image, const char* kind) {
    return image && image->isKindOf(kind) ? static_cast<Kind*>(image) : nullptr;
}

} // namespace Toolkit

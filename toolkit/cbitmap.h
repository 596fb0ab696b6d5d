#pragma once

#include "cbaseobject.h"
#include "cpoint.h"
#include "crect.h"
#include "cresourceref.h"

#include <cstdint>

namespace Toolkit {

class CDrawContext;
class IPlatformBitmap;

// An image, usually one of the module's embedded PNGs. A bitmap that failed to load has size
// (0, 0) and draws nothing.
//
// Above 1x a bitmap draws from its double-size variant when it has one: for an image made from
// numeric resource N that is resource N + kDoubleSizeIdOffset, found when first asked for and
// used only when exactly twice the size of the 1x image. Its size and every coordinate stay
// those of the 1x image.
class CBitmap : public CBaseObject {
public:
    static constexpr std::int32_t kDoubleSizeIdOffset = 100;

    CBitmap();
    explicit CBitmap(const CResourceRef& resource);
    CBitmap(double width, double height);
    // Takes its own reference to `platformBitmap`.
    explicit CBitmap(IPlatformBitmap* platformBitmap);
    ~CBitmap() override;
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    bool isKindOf(const char* className) const override;
    CBaseObject* clone() const override { return nullptr; }
    virtual void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = {},
                      float alpha = 1.0f);

    double width() const;
    double height() const;
    const CResourceRef& resourceDescription() const { return resource; }
    IPlatformBitmap* platformBitmap() const { return platform; }
    void setPlatformBitmap(IPlatformBitmap* bitmap);

    // What a back-end draws from at `scale` device pixels per unit, with `pixelsPerUnit` set to
    // that image's own pixels per unit: the 1x image at exactly 1 or without a double-size
    // variant (1), else the double-size variant (2). Null without an image. Loads the variant
    // on the first call above 1x; editor thread.
    IPlatformBitmap* platformBitmapFor(double scale, double& pixelsPerUnit);
    // Takes its own reference; ignored (false) unless exactly twice this bitmap's size. Null
    // drops the variant.
    bool setDoubleSizePlatformBitmap(IPlatformBitmap* bitmap);
    IPlatformBitmap* doubleSizePlatformBitmap() const { return doubleSize; }

private:
    CResourceRef resource;
    IPlatformBitmap* platform = nullptr;
    IPlatformBitmap* doubleSize = nullptr;
    bool doubleSizeLooked = false;
};

} // namespace Toolkit

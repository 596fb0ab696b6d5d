#pragma once

#include "cbaseobject.h"
#include "cpoint.h"
#include "crect.h"
#include "cresourceref.h"

namespace Toolkit {

class CDrawContext;
class IPlatformBitmap;

// An image, usually one of the module's embedded PNGs. A bitmap that failed to load has size
// (0, 0) and draws nothing.
class CBitmap : public CBaseObject {
public:
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

private:
    CResourceRef resource;
    IPlatformBitmap* platform = nullptr;
};

} // namespace Toolkit

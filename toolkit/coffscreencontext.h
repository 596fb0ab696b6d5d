#pragma once

#include "cdrawcontext.h"

namespace Toolkit {

class CBitmap;

// A context drawing into a bitmap; draw the bitmap elsewhere to copy the result.
class COffscreenContext : public CDrawContext {
public:
    // Takes its own reference to `bitmap`; the surface is the bitmap's size.
    explicit COffscreenContext(CBitmap* bitmap);
    ~COffscreenContext() override;

    bool isKindOf(const char* className) const override;
    CBitmap* bitmap() const { return target; }

private:
    CBitmap* target;
};

} // namespace Toolkit

// What both Windows back-ends' images have in common: decoding from a stream, found in the
// module's "PNG" resources.
#pragma once

#include "platform/iplatformbitmap.h"

#include <objidl.h>
#include <windows.h>

namespace Toolkit::Win32Platform {

class Win32BitmapBase : public IPlatformBitmap {
public:
    // Decodes an image from `stream` (read from its current position; not kept).
    virtual bool loadFromStream(IStream* stream) = 0;
    // A GDI bitmap of the image for native use; the back-ends of this toolkit offer none.
    virtual HBITMAP createHBitmap() { return nullptr; }

    bool isKindOf(const char* className) const override {
        return nameIs(className, "Win32BitmapBase") || IPlatformBitmap::isKindOf(className);
    }

protected:
    // Finds the resource in the module holding this code and decodes it with loadFromStream;
    // false when there is no such resource or it does not decode.
    bool loadResourceStream(const CResourceRef& resource);
};

} // namespace Toolkit::Win32Platform

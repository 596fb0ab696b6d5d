// The Direct2D back-end's image: decoded once by the imaging component into 32-bit
// premultiplied BGRA; each render target gets its device copy from D2DBitmapCache.
#pragma once

#include "d2dapi.h"
#include "graphics/win32bitmapbase.h"

#include <memory>

namespace Toolkit::Win32Platform {

class D2DBitmap : public Win32BitmapBase {
public:
    // Without an image until load() succeeds.
    D2DBitmap() = default;
    // A transparent image of width x height pixels (both 1..32767) that a context can draw into.
    D2DBitmap(int width, int height);
    ~D2DBitmap() override;
    D2DBitmap(const D2DBitmap&) = delete;
    D2DBitmap& operator=(const D2DBitmap&) = delete;

    // The module's "PNG" resource; a bitmap that already holds an image keeps it and answers
    // true.
    bool load(const CResourceRef& resource) override;
    bool loadFromStream(IStream* stream) override;
    CPoint size() const override;
    bool isKindOf(const char* className) const override;

    // The decoded pixels; null without an image. Not add-referenced.
    IWICBitmap* source() const;

    // Decoded resource images still in use by some bitmap of this process (for tests).
    static std::size_t sharedImageCount();

private:
    // The decoded image behind one or more bitmaps of the same resource id (read-only), or the
    // image of one bitmap made to be drawn into.
    struct Image {
        ComPtr<IWICBitmap> pixels;
        UINT width = 0;
        UINT height = 0;
    };

    std::shared_ptr<const Image> image;
};

} // namespace Toolkit::Win32Platform

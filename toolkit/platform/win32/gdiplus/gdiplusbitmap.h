// The GDI+ back-end's image: a GDI+ bitmap over premultiplied BGRA pixels decoded once.
#pragma once

#include "gdiplusapi.h"
#include "graphics/win32bitmapbase.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Toolkit::Win32Platform {

class GdiplusBitmap : public Win32BitmapBase {
public:
    // Without an image until load() succeeds.
    GdiplusBitmap();
    // A transparent 32-bit ARGB image of width x height pixels (both 1..32767).
    GdiplusBitmap(int width, int height);
    ~GdiplusBitmap() override;
    GdiplusBitmap(const GdiplusBitmap&) = delete;
    GdiplusBitmap& operator=(const GdiplusBitmap&) = delete;

    // The module's "PNG" resource, else a bitmap resource of the same id or name. A bitmap that
    // already holds an image keeps it and answers false.
    bool load(const CResourceRef& resource) override;
    bool loadFromStream(IStream* stream) override;
    CPoint size() const override;
    bool isKindOf(const char* className) const override;

    // Null without an image. Owned by the bitmap.
    Gdiplus::GpBitmap* image() const { return bitmap; }

    // Decoded resource images still in use by some bitmap of this process (for tests).
    static std::size_t sharedImageCount();

private:
    // Pixels a GDI+ bitmap is drawn from; immutable once made, so bitmaps of the same resource
    // share them. Each bitmap still has a GDI+ object of its own: GDI+ objects must not be
    // used from two threads at once, plain memory may be read by any number.
    struct Pixels {
        std::vector<std::uint32_t> data;
        UINT width = 0;
        UINT height = 0;
    };

    bool adopt(std::shared_ptr<const Pixels> pixels);
    void readSize();

    Gdiplus::GpBitmap* bitmap = nullptr;
    std::shared_ptr<const Pixels> shared;
    std::vector<std::uint32_t> own; // the pixels of a bitmap made to be drawn into
    UINT width = 0;
    UINT height = 0;
};

} // namespace Toolkit::Win32Platform

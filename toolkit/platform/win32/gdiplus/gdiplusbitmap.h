// The GDI+ back-end's image: a GDI+ bitmap over premultiplied BGRA pixels decoded once.
#pragma once

#include "gdiplusapi.h"
#include "graphics/win32bitmapbase.h"
#include "platform/scaledimagecache.h"

#include <cstdint>
#include <functional>
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

    // A part of a shared image as resampled for one size, row by row: premultiplied BGRA, or
    // straight where it is drawn into a GDI+ bitmap.
    struct Resampled {
        std::vector<std::uint32_t> data;
        int width = 0;
        int height = 0;
        bool straight = false;
        std::size_t bytes() const { return data.size() * sizeof(std::uint32_t); }
    };
    // The part kept for `key` by the decoded image this bitmap shares, made by `make` once per
    // key for as long as the image lives; null for a bitmap of its own pixels, or when `make`
    // answers null. Thread-safe.
    std::shared_ptr<const Resampled>
    resampled(const ScaledImageKey& key,
              const std::function<std::shared_ptr<Resampled>()>& make) const;
    // Bytes of resampled parts held by every image of the process.
    static std::size_t resampledBytes();
    // Off: every paint filters again, as before parts were kept (for tests to compare).
    static void keepResampledParts(bool keep);

private:
    // Pixels a GDI+ bitmap is drawn from; immutable once made, so bitmaps of the same resource
    // share them. Each bitmap still has a GDI+ object of its own: GDI+ objects must not be
    // used from two threads at once, plain memory may be read by any number.
    struct Pixels {
        std::vector<std::uint32_t> data;
        UINT width = 0;
        UINT height = 0;
        mutable ScaledImageCache<Resampled> resampled;
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

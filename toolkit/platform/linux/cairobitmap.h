// The cairo back-end's image: an ARGB32 premultiplied image surface.
#pragma once

#include "platform/iplatformbitmap.h"

#include <cairo.h>
#include <memory>

namespace Toolkit::LinuxPlatform {

class ResourceImage;

class CairoBitmap : public IPlatformBitmap {
public:
    // Without an image until load() succeeds.
    CairoBitmap() = default;
    // A transparent image of width x height pixels (both 1..32767).
    CairoBitmap(int width, int height);
    ~CairoBitmap() override;
    CairoBitmap(const CairoBitmap&) = delete;
    CairoBitmap& operator=(const CairoBitmap&) = delete;

    // Takes the module's "PNG" resource with that numeric id, whose pixels every bitmap of the
    // id shares and which is decoded only when first drawn. A bitmap that already holds an
    // image keeps it and answers false; named resources do not exist in this module.
    bool load(const CResourceRef& resource) override;
    CPoint size() const override;
    // Every row; an image embedded in slices from the bottom up (see
    // ResourceImage::prepareRowsFromBottom).
    void prepare() override;
    bool decodesInSlices() const override;
    bool isKindOf(const char* className) const override;

    // Decodes PNG bytes into pixels of this bitmap's own; false (and no image) when they do
    // not decode.
    bool loadFromMemory(const unsigned char* data, std::uint32_t size);
    // The pixels to draw from, decoding a resource's on first use; null without an image. Owned
    // by the bitmap; a resource's pixels are shared and must not be drawn into.
    cairo_surface_t* surface();
    // The same, with only rows top to bottom (exclusive) sure to be decoded: of an image
    // embedded in slices (a filmstrip's pictures, say), only the slices they fall in.
    cairo_surface_t* surfaceFor(int top, int bottom);
    // The pixels to draw into: a resource's are first copied into pixels of this bitmap's own.
    cairo_surface_t* writableSurface();
    // The module image whose pixels this bitmap shows unchanged; null for pixels of its own.
    ResourceImage* sharedImage() const { return shared.get(); }

private:
    std::shared_ptr<ResourceImage> shared;
    cairo_surface_t* image = nullptr;
};

} // namespace Toolkit::LinuxPlatform

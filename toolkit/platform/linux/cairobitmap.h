// The cairo back-end's image: an ARGB32 premultiplied image surface.
#pragma once

#include "platform/iplatformbitmap.h"

#include <cairo.h>

namespace Toolkit::LinuxPlatform {

class CairoBitmap : public IPlatformBitmap {
public:
    // Without an image until load() succeeds.
    CairoBitmap() = default;
    // A transparent image of width x height pixels (both 1..32767).
    CairoBitmap(int width, int height);
    ~CairoBitmap() override;
    CairoBitmap(const CairoBitmap&) = delete;
    CairoBitmap& operator=(const CairoBitmap&) = delete;

    // Decodes the module's "PNG" resource with that numeric id. A bitmap that already holds an
    // image keeps it and answers false; named resources do not exist in this module.
    bool load(const CResourceRef& resource) override;
    CPoint size() const override;
    bool isKindOf(const char* className) const override;

    // Decodes PNG bytes; false (and no image) when they do not decode.
    bool loadFromMemory(const unsigned char* data, std::uint32_t size);
    // Null without an image. Owned by the bitmap.
    cairo_surface_t* surface() const { return image; }

private:
    cairo_surface_t* image = nullptr;
};

} // namespace Toolkit::LinuxPlatform

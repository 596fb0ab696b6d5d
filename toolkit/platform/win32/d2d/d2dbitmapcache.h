// The device bitmaps of every D2DBitmap, one per bitmap and render target, made on first use:
// a filmstrip drawn again and again is uploaded once per target.
#pragma once

#include "d2dapi.h"

#include <cstddef>

namespace Toolkit::Win32Platform {

class D2DBitmap;

class D2DBitmapCache {
public:
    // The device bitmap of `bitmap` for `target`, made now when missing; null when the bitmap
    // has no image or the target refuses it. Owned by the cache.
    static ID2D1Bitmap* get(const D2DBitmap* bitmap, ID2D1RenderTarget* target);
    // A device bitmap of `area` of that device bitmap alone, kept with it (a filter must not
    // reach into the next filmstrip picture, and copying the window at every paint cost a
    // bitmap and a copy each time); at most kWindowsKept per device bitmap, the older dropped
    // all at once. Null when `area` is empty or outside, or the target refuses.
    static ID2D1Bitmap* window(const D2DBitmap* bitmap, ID2D1RenderTarget* target,
                               const D2D1_RECT_U& area);
    static constexpr std::size_t kWindowsKept = 48;
    // Drops every device bitmap of `bitmap` (it is going away, or its pixels changed).
    static void forgetBitmap(const D2DBitmap* bitmap);
    // Drops every device bitmap made for `target` (it is going away).
    static void forgetTarget(const ID2D1RenderTarget* target);

    // Device bitmaps held now, and made since the process started (for tests).
    static std::size_t size();
    static std::size_t uploads();
    // Windows kept now, over every device bitmap (for tests).
    static std::size_t windows();
};

} // namespace Toolkit::Win32Platform

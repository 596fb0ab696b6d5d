// The image sizes every back-end accepts, its bitmaps made by size and the bitmap an offscreen
// context draws into.
#pragma once

#include "../cpoint.h"

namespace Toolkit {

class CBitmap;
class IPlatformBitmap;

// Whole pixels in the range a back-end's image accepts (1 to 32767); 0 for any other value,
// not-a-number included.
int imageDimension(double value);

// A back-end's createBitmap for its bitmap class `Bitmap`: (0, 0) gives a bitmap without an
// image, ready for load(); a size both of whose sides imageDimension accepts a transparent image
// of that many pixels, null when it cannot be made; any other size null.
template <class Bitmap> IPlatformBitmap* createSizedBitmap(const CPoint& size) {
    if (size.x == 0.0 && size.y == 0.0) {
        return new Bitmap();
    }
    const int width = imageDimension(size.x);
    const int height = imageDimension(size.y);
    if (width == 0 || height == 0) {
        return nullptr;
    }
    auto* bitmap = new Bitmap(width, height);
    if (bitmap->size().x == 0.0) {
        bitmap->releaseReference();
        return nullptr;
    }
    return bitmap;
}

// A CBitmap around the image `createImage` (a back-end's createBitmap) makes for that size, one
// reference for the caller; null for sizes that give no image or when the image fails.
CBitmap* createOffscreenBitmap(double width, double height,
                               IPlatformBitmap* (*createImage)(const CPoint& size));

} // namespace Toolkit

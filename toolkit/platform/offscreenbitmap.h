// The image sizes every back-end accepts and the bitmap an offscreen context draws into.
#pragma once

namespace Toolkit {

class CBitmap;
class IPlatformBitmap;
struct CPoint;

// Whole pixels in the range a back-end's image accepts (1 to 32767); 0 for any other value,
// not-a-number included.
int imageDimension(double value);

// A CBitmap around the image `createImage` (a back-end's createBitmap) makes for that size, one
// reference for the caller; null for sizes that give no image or when the image fails.
CBitmap* createOffscreenBitmap(double width, double height,
                               IPlatformBitmap* (*createImage)(const CPoint& size));

} // namespace Toolkit

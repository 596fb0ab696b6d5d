#include "offscreenbitmap.h"

#include "../cbitmap.h"
#include "iplatformbitmap.h"

namespace Toolkit {

int imageDimension(double value) {
    if (!(value >= 1.0) || value > 32767.0) {
        return 0;
    }
    return static_cast<int>(value);
}

CBitmap* createOffscreenBitmap(double width, double height,
                               IPlatformBitmap* (*createImage)(const CPoint& size)) {
    if (imageDimension(width) == 0 || imageDimension(height) == 0) {
        return nullptr;
    }
    IPlatformBitmap* image = createImage(CPoint(width, height));
    if (!image) {
        return nullptr;
    }
    auto* bitmap = new CBitmap(image);
    image->releaseReference(); // the CBitmap holds its own
    return bitmap;
}

} // namespace Toolkit

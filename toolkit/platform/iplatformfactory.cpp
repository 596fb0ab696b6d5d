#include "iplatformfactory.h"

#include "iplatformbitmap.h"

namespace Toolkit {

IPlatformBitmap* IPlatformFactory::createBitmapFromResource(const CResourceRef& resource) {
    IPlatformBitmap* bitmap = createBitmap(CPoint(0, 0));
    if (bitmap && !bitmap->load(resource)) {
        bitmap->releaseReference();
        return nullptr;
    }
    return bitmap;
}

} // namespace Toolkit

#include "imultibitmapcontrol.h"

#include "cview.h"

namespace Toolkit {

double IMultiBitmapControl::imageHeightFromView() {
    if (auto* view = dynamic_cast<CView*>(this)) {
        heightOfOneImage = view->bounds().height();
        return heightOfOneImage;
    }
    return 0.0;
}

} // namespace Toolkit

#include "d2doffscreencontext.h"

#include "cbitmap.h"
#include "d2dbitmap.h"
#include "d2dglobals.h"

namespace Toolkit::Win32Platform {

namespace {
D2DBitmap* d2dBitmapOf(CBitmap* bitmap) {
    return imageOfKind<D2DBitmap>(bitmap ? bitmap->platformBitmap() : nullptr, "D2DBitmap");
}
} // namespace

ID2D1RenderTarget* D2DOffscreenContext::makeBitmapTarget(CBitmap* bitmap) {
    D2DBitmap* image = d2dBitmapOf(bitmap);
    ID2D1Factory* factory = D2DGlobals::factory();
    if (!image || !image->source() || !factory) {
        return nullptr;
    }
    const D2D1_RENDER_TARGET_PROPERTIES properties =
        renderTargetProperties(DXGI_FORMAT_B8G8R8A8_UNORM);
    ID2D1RenderTarget* target = nullptr;
    if (FAILED(factory->CreateWicBitmapRenderTarget(image->source(), &properties, &target))) {
        return nullptr;
    }
    return target;
}

D2DOffscreenContext::D2DOffscreenContext(CBitmap* bitmap)
    // The context holds its own reference to the bitmap for as long as the maker may run.
    : D2DOffscreenContext(bitmap, [bitmap] { return makeBitmapTarget(bitmap); }) {}

D2DOffscreenContext::D2DOffscreenContext(CBitmap* bitmap, RenderTargetMaker maker)
    : PainterContext(bitmap, std::move(maker), d2dBitmapOf(bitmap)) {
    applyDefaults();
}

bool D2DOffscreenContext::isKindOf(const char* className) const {
    return nameIs(className, "D2DOffscreenContext") || COffscreenContext::isKindOf(className);
}

} // namespace Toolkit::Win32Platform

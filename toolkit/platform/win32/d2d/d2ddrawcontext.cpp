#include "d2ddrawcontext.h"

#include "d2dglobals.h"

namespace Toolkit::Win32Platform {

ID2D1RenderTarget* D2DDrawContext::makeWindowTarget(HWND window) {
    ID2D1Factory* factory = D2DGlobals::factory();
    RECT client{};
    if (!factory || !window || !GetClientRect(window, &client)) {
        return nullptr;
    }
    const D2D1_RENDER_TARGET_PROPERTIES properties = renderTargetProperties(DXGI_FORMAT_UNKNOWN);
    D2D1_HWND_RENDER_TARGET_PROPERTIES windowProperties{};
    windowProperties.hwnd = window;
    windowProperties.pixelSize = {static_cast<UINT32>(client.right - client.left),
                                  static_cast<UINT32>(client.bottom - client.top)};
    windowProperties.presentOptions = D2D1_PRESENT_OPTIONS_RETAIN_CONTENTS;
    ID2D1HwndRenderTarget* target = nullptr;
    if (FAILED(factory->CreateHwndRenderTarget(&properties, &windowProperties, &target))) {
        return nullptr;
    }
    return target;
}

D2DDrawContext::D2DDrawContext(HWND window, const CRect& surface)
    : D2DDrawContext([window] { return makeWindowTarget(window); }, surface) {}

D2DDrawContext::D2DDrawContext(RenderTargetMaker maker, const CRect& surface)
    : PainterContext(surface, std::move(maker), nullptr) {
    applyDefaults();
}

bool D2DDrawContext::isKindOf(const char* className) const {
    return nameIs(className, "D2DDrawContext") || CDrawContext::isKindOf(className);
}

} // namespace Toolkit::Win32Platform

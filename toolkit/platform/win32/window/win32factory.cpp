#include "win32factory.h"

#include "win32frame.h"
#include "win32graphics.h"
#include "win32timer.h"

namespace Toolkit::Win32Platform {

IPlatformFrame* Win32Factory::createFrame(IPlatformFrameCallback* callback, const CRect& size,
                                          void* parentWindow) {
    return new Win32Frame(callback, size, parentWindow);
}

CDrawContext* Win32Factory::createWindowContext(IPlatformFrame* frame, const CRect& surface) {
    if (!frame || !frame->isKindOf("Win32Frame")) {
        return nullptr;
    }
    const HWND window = static_cast<Win32Frame*>(frame)->window();
    return window ? Win32Platform::createWindowContext(window, surface) : nullptr;
}

COffscreenContext* Win32Factory::createOffscreenContext(double width, double height) {
    return Win32Platform::createOffscreenContext(width, height);
}

IPlatformBitmap* Win32Factory::createBitmap(const CPoint& size) {
    return Win32Platform::createBitmap(size);
}

IPlatformTimer* Win32Factory::createTimer(IPlatformTimerCallback* callback) {
    return new Win32Timer(callback);
}

std::uint32_t Win32Factory::ticks() const {
    return GetTickCount();
}

} // namespace Toolkit::Win32Platform

// The platform factory of the Windows build: Win32 child windows, thread timers, and the
// bitmaps and contexts of the graphics back-end chosen for the process.
#pragma once

#include "platform/iplatformfactory.h"

namespace Toolkit::Win32Platform {

// EditorSupport::platformFactory() answers the one instance of this class.
class Win32Factory : public IPlatformFactory {
public:
    // `parentWindow` is the host's HWND; the frame is made even when no window can be.
    IPlatformFrame* createFrame(IPlatformFrameCallback* callback, const CRect& size,
                                void* parentWindow) override;
    // Draws into a Win32Frame's window; null for any other frame or one without a window.
    CDrawContext* createWindowContext(IPlatformFrame* frame, const CRect& surface) override;
    COffscreenContext* createOffscreenContext(double width, double height) override;
    IPlatformBitmap* createBitmap(const CPoint& size) override;
    IPlatformTimer* createTimer(IPlatformTimerCallback* callback) override;
    // GetTickCount.
    std::uint32_t ticks() const override;
};

} // namespace Toolkit::Win32Platform

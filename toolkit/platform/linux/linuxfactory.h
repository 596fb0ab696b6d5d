// The platform factory of the Linux build: X11 windows, cairo drawing, pump-driven timers.
#pragma once

#include "platform/iplatformfactory.h"

namespace Toolkit::LinuxPlatform {

// EditorSupport::platformFactory() answers the one instance of this class.
class LinuxFactory : public IPlatformFactory {
public:
    // `parentWindow` carries the host's X window id; the frame is made even when no window
    // can be (see X11Frame).
    IPlatformFrame* createFrame(IPlatformFrameCallback* callback, const CRect& size,
                                void* parentWindow) override;
    // Draws into the back buffer of an X11Frame; null for any other frame.
    CDrawContext* createWindowContext(IPlatformFrame* frame, const CRect& surface) override;
    // Null for sizes that make no image (below 1 or above 32767 pixels, not a number).
    COffscreenContext* createOffscreenContext(double width, double height) override;
    // (0, 0) gives a bitmap without an image, ready for load(); other invalid sizes null.
    IPlatformBitmap* createBitmap(const CPoint& size) override;
    IPlatformTimer* createTimer(IPlatformTimerCallback* callback) override;
    std::uint32_t ticks() const override;
};

} // namespace Toolkit::LinuxPlatform

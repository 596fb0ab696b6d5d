#pragma once

#include "../cpoint.h"
#include "../crect.h"
#include "../cresourceref.h"

#include <cstdint>

namespace Toolkit {

class CDrawContext;
class COffscreenContext;
class IPlatformBitmap;
class IPlatformFrame;
class IPlatformFrameCallback;
class IPlatformTimer;
class IPlatformTimerCallback;

// Everything the toolkit needs of the window system and the graphics library. Every object
// returned carries one reference for the caller; null means the platform could not make it.
class IPlatformFactory {
public:
    virtual ~IPlatformFactory() = default;

    // A child window of `parentWindow` (native handle) with the size of `size`, reporting to
    // `callback` (not owned; it outlives the platform frame).
    virtual IPlatformFrame* createFrame(IPlatformFrameCallback* callback, const CRect& size,
                                        void* parentWindow) = 0;
    // A context drawing into `frame`'s window; surface (0, 0, width, height).
    virtual CDrawContext* createWindowContext(IPlatformFrame* frame, const CRect& surface) = 0;
    // A new bitmap of that size plus a context drawing into it.
    virtual COffscreenContext* createOffscreenContext(double width, double height) = 0;
    // A fully transparent bitmap of `size` pixels; (0, 0) gives one without an image, ready
    // for IPlatformBitmap::load.
    virtual IPlatformBitmap* createBitmap(const CPoint& size) = 0;
    // The embedded image with that id or name; null when missing or undecodable. A back-end may
    // share one decoded image between all bitmaps of an id and decode it when first drawn.
    virtual IPlatformBitmap* createBitmapFromResource(const CResourceRef& resource);
    virtual IPlatformTimer* createTimer(IPlatformTimerCallback* callback) = 0;
    // A millisecond counter (wraps around).
    virtual std::uint32_t ticks() const = 0;
};

// The factory of bitmaps, timers and frames that are not handed one: the one last given to
// setPlatformFactory, else one that makes nothing (frames without a window, bitmaps without an
// image, timers that do not start). The editor base installs its platform's.
IPlatformFactory& getPlatformFactory();
// `factory` is not owned and must outlive its users; null puts back the one that makes nothing.
void setPlatformFactory(IPlatformFactory* factory);

} // namespace Toolkit

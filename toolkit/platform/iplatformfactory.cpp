#include "iplatformfactory.h"

#include "iplatformbitmap.h"

#include <atomic>

namespace Toolkit {

namespace {
// What the toolkit gets without a platform: nothing, which every caller already handles.
class NoPlatform : public IPlatformFactory {
public:
    IPlatformFrame* createFrame(IPlatformFrameCallback*, const CRect&, void*) override {
        return nullptr;
    }
    CDrawContext* createWindowContext(IPlatformFrame*, const CRect&) override { return nullptr; }
    COffscreenContext* createOffscreenContext(double, double) override { return nullptr; }
    IPlatformBitmap* createBitmap(const CPoint&) override { return nullptr; }
    IPlatformTimer* createTimer(IPlatformTimerCallback*) override { return nullptr; }
    std::uint32_t ticks() const override { return 0; }
};

// Editors may open on threads of their own; all install the same factory.
std::atomic<IPlatformFactory*> installed{nullptr};
} // namespace

IPlatformFactory& getPlatformFactory() {
    IPlatformFactory* factory = installed.load(std::memory_order_acquire);
    if (factory) {
        return *factory;
    }
    static NoPlatform none;
    return none;
}

void setPlatformFactory(IPlatformFactory* factory) {
    installed.store(factory, std::memory_order_release);
}

IPlatformBitmap* IPlatformFactory::createBitmapFromResource(const CResourceRef& resource) {
    IPlatformBitmap* bitmap = createBitmap(CPoint(0, 0));
    if (bitmap && !bitmap->load(resource)) {
        bitmap->releaseReference();
        return nullptr;
    }
    return bitmap;
}

} // namespace Toolkit

// Guards against the toolkit reaching for a platform it was not given: a frame must use the
// factory handed to it, and a program without any platform must get harmless nothing.
#include "recordingplatform.h"
#include "toolkit/cbitmap.h"
#include "toolkit/cframe.h"
#include "toolkit/ctoolkittimer.h"

#include <gtest/gtest.h>

namespace Toolkit::Testing {
namespace {

class SlowClockFactory : public RecordingFactory {
public:
    std::uint32_t ticks() const override { return 99; }
};

TEST(PlatformFactory, AFrameUsesTheFactoryItIsGiven) {
    SlowClockFactory given;
    RecordingFrame* const defaultsLast = factory().lastFrame;
    int parentWindow = 0;
    auto* frame = new CFrame(CRect(0, 0, 40, 30), &parentWindow, nullptr, given);
    ASSERT_NE(given.lastFrame, nullptr);
    EXPECT_EQ(frame->platformFrame(), given.lastFrame);
    EXPECT_EQ(factory().lastFrame, defaultsLast) << "the default factory made the window";
    EXPECT_EQ(frame->ticks(), 99);
    frame->releaseReference();

    // Without a parent window the given factory makes nothing and the frame has no clock.
    auto* orphan = new CFrame(CRect(0, 0, 40, 30), nullptr, nullptr, given);
    EXPECT_EQ(orphan->platformFrame(), nullptr);
    EXPECT_EQ(orphan->ticks(), -1);
    orphan->releaseReference();
}

// Puts the recording back-end back as the default, whatever the test did.
struct NoDefault {
    NoDefault() { setPlatformFactory(nullptr); }
    ~NoDefault() { setPlatformFactory(&factory()); }
};

TEST(PlatformFactory, WithoutAPlatformNothingIsMadeAndNothingBreaks) {
    NoDefault noDefault;
    IPlatformFactory& none = getPlatformFactory();
    EXPECT_NE(&none, &factory());

    int parentWindow = 0;
    auto* frame = new CFrame(CRect(0, 0, 40, 30), &parentWindow, nullptr);
    EXPECT_EQ(frame->platformFrame(), nullptr);
    EXPECT_EQ(frame->ticks(), -1);
    frame->invalidate();
    frame->idle();
    frame->releaseReference();

    auto* image = new CBitmap(CResourceRef(1));
    EXPECT_EQ(image->platformBitmap(), nullptr);
    EXPECT_EQ(image->width(), 0.0);
    image->releaseReference();
    auto* blank = new CBitmap(16, 16);
    EXPECT_EQ(blank->platformBitmap(), nullptr);
    blank->releaseReference();

    CBaseObject target;
    auto* timer = new CToolkitTimer(&target, 10);
    EXPECT_FALSE(timer->start());
    timer->releaseReference();

    EXPECT_EQ(none.createOffscreenContext(8, 8), nullptr);
    EXPECT_EQ(none.createWindowContext(nullptr, CRect(0, 0, 8, 8)), nullptr);
}

} // namespace
} // namespace Toolkit::Testing

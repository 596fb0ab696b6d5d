#include "vst3viewdriver.h"

#include <cstring>

#include "toolkit/platform/editorsupport.h"
#include "vst3object.h"

using namespace Steinberg;

namespace {

// How often the host's run loop lets the editor handle its window's events and redraw.
constexpr Linux::TimerInterval kIdleMs = 30;

// What the host's run loop calls: the timer and the X connection's descriptor. A COM object of
// its own, as the host may hold it a little past stop.
class RunLoopClient final : public Linux::ITimerHandler, public Linux::IEventHandler {
public:
    explicit RunLoopClient(std::function<void()> idle) : idle(std::move(idle)) {}

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (!obj) {
            return kInvalidArgument;
        }
        *obj = nullptr;
        if (vst3::sameId(iid, FUnknown_iid) || vst3::sameId(iid, Linux::ITimerHandler_iid)) {
            *obj = static_cast<Linux::ITimerHandler*>(this);
        } else if (vst3::sameId(iid, Linux::IEventHandler_iid)) {
            *obj = static_cast<Linux::IEventHandler*>(this);
        } else {
            return kNoInterface;
        }
        addRef();
        return kResultOk;
    }
    GRAVELIX_VST3_REFCOUNT;

    void PLUGIN_API onTimer() override { run(); }
    void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override { run(); }
    void forget() { idle = nullptr; }

private:
    ~RunLoopClient() = default;
    void run() {
        if (idle) {
            idle();
        }
    }

    std::function<void()> idle;
};

Linux::IRunLoop* runLoopOf(IPlugFrame* frame) {
    return vst3::queryAs<Linux::IRunLoop>(frame, Linux::IRunLoop_iid);
}

} // namespace

struct Vst3ViewDriver::Impl {
    Linux::IRunLoop* loop = nullptr;
    RunLoopClient* client = nullptr;
    bool timer = false;
    bool events = false;
};

Vst3ViewDriver::Vst3ViewDriver() : impl(new Impl) {}

Vst3ViewDriver::~Vst3ViewDriver() {
    stop();
    delete impl;
}

bool Vst3ViewDriver::supports(FIDString type) {
    return type && std::strcmp(type, kPlatformTypeX11EmbedWindowID) == 0;
}

bool Vst3ViewDriver::canDrive(IPlugFrame* frame) {
    Linux::IRunLoop* loop = runLoopOf(frame);
    if (!loop) {
        return false;
    }
    loop->release();
    return true;
}

bool Vst3ViewDriver::start(IPlugFrame* frame, std::function<void()> idle) {
    stop();
    impl->loop = runLoopOf(frame);
    if (!impl->loop) {
        return false;
    }
    impl->client = new RunLoopClient(std::move(idle));
    impl->timer = impl->loop->registerTimer(impl->client, kIdleMs) == kResultOk;
    const int fd = Toolkit::EditorSupport::eventDescriptor();
    impl->events = fd >= 0 && impl->loop->registerEventHandler(impl->client, fd) == kResultOk;
    if (!impl->timer && !impl->events) {
        stop();
        return false;
    }
    return true;
}

void Vst3ViewDriver::stop() {
    if (impl->client) {
        impl->client->forget();
        if (impl->timer) {
            impl->loop->unregisterTimer(impl->client);
        }
        if (impl->events) {
            impl->loop->unregisterEventHandler(impl->client);
        }
        impl->client->release();
        impl->client = nullptr;
    }
    impl->timer = impl->events = false;
    if (impl->loop) {
        impl->loop->release();
        impl->loop = nullptr;
    }
}

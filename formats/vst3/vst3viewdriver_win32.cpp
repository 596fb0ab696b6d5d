#include "vst3viewdriver.h"

#include <cstring>

#include "toolkit/cbaseobject.h"
#include "toolkit/ctoolkittimer.h"

using namespace Steinberg;

namespace {

// How often the window system's timer lets the editor redraw.
constexpr std::uint32_t kIdleMs = 30;

class IdleTarget final : public Toolkit::CBaseObject {
public:
    explicit IdleTarget(std::function<void()> idle) : idle(std::move(idle)) {}
    Toolkit::MessageResult handleMessage(Toolkit::CBaseObject*,
                                         Toolkit::IdStringPtr message) override {
        if (message == Toolkit::kMsgTimer && idle) {
            idle();
        }
        return Toolkit::messageNotified;
    }

private:
    std::function<void()> idle;
};

} // namespace

// Windows hosts have no run loop to lend: the window system's timer drives the editor on the
// thread that opened it.
struct Vst3ViewDriver::Impl {
    IdleTarget* target = nullptr;
    Toolkit::CToolkitTimer* timer = nullptr;
};

Vst3ViewDriver::Vst3ViewDriver() : impl(new Impl) {}

Vst3ViewDriver::~Vst3ViewDriver() {
    stop();
    delete impl;
}

bool Vst3ViewDriver::supports(FIDString type) {
    return type && std::strcmp(type, kPlatformTypeHWND) == 0;
}

bool Vst3ViewDriver::canDrive(IPlugFrame*) {
    return true;
}

bool Vst3ViewDriver::start(IPlugFrame*, std::function<void()> idle) {
    stop();
    impl->target = new IdleTarget(std::move(idle));
    impl->timer = new Toolkit::CToolkitTimer(impl->target, kIdleMs, true);
    return true;
}

void Vst3ViewDriver::stop() {
    if (impl->timer) {
        impl->timer->stop();
        impl->timer->releaseReference();
        impl->timer = nullptr;
    }
    if (impl->target) {
        impl->target->releaseReference();
        impl->target = nullptr;
    }
}

#include "vst3platform.h"

#include "sharedlibrary.h"

#include <pluginterfaces/gui/iplugview.h>

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <vector>

namespace Steinberg::Linux {
DEF_CLASS_IID(IEventHandler)
DEF_CLASS_IID(ITimerHandler)
DEF_CLASS_IID(IRunLoop)
} // namespace Steinberg::Linux

namespace gravelix::host {

namespace {

using namespace Steinberg;

#if defined(__x86_64__)
constexpr const char* kArchitecture = "x86_64-linux";
#elif defined(__aarch64__)
constexpr const char* kArchitecture = "aarch64-linux";
#elif defined(__i386__)
constexpr const char* kArchitecture = "i386-linux";
#elif defined(__arm__)
constexpr const char* kArchitecture = "armv7l-linux";
#else
#error "no VST3 bundle folder is known for this architecture"
#endif

// Handlers are called from the host's idle, on the thread that opened the editor, never from
// a thread of our own: a view's X connection is only ever touched there.
class RunLoop final : public Linux::IRunLoop, public Vst3RunLoop {
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        QUERY_INTERFACE(iid, obj, FUnknown::iid, Linux::IRunLoop)
        QUERY_INTERFACE(iid, obj, Linux::IRunLoop::iid, Linux::IRunLoop)
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++references_; }
    uint32 PLUGIN_API release() override {
        const uint32 left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler* handler,
                                            Linux::FileDescriptor fd) override {
        if (!handler || fd < 0) {
            return kInvalidArgument;
        }
        handler->addRef();
        handlers_.push_back({handler, fd});
        return kResultOk;
    }
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler* handler) override {
        return drop(handlers_, handler);
    }
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler, Linux::TimerInterval) override {
        if (!handler) {
            return kInvalidArgument;
        }
        handler->addRef();
        timers_.push_back(handler);
        return kResultOk;
    }
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override {
        return drop(timers_, handler);
    }

    FUnknown* unknown() override { return static_cast<Linux::IRunLoop*>(this); }

    void idle() override {
        // Each idle is a tick of every timer: the host idles at the pace editors are idled,
        // and what a view draws there must show at that idle, not a period later. A handler
        // may unregister itself or others while it runs: walk a held copy.
        std::vector<Linux::ITimerHandler*> timers = timers_;
        for (auto* t : timers) {
            t->addRef();
        }
        for (auto* t : timers) {
            if (std::find(timers_.begin(), timers_.end(), t) != timers_.end()) {
                t->onTimer();
            }
            t->release();
        }
        if (handlers_.empty()) {
            return;
        }
        std::vector<Handler> handlers = handlers_;
        std::vector<pollfd> polled;
        for (const Handler& h : handlers) {
            polled.push_back({h.fd, POLLIN, 0});
            h.handler->addRef();
        }
        if (poll(polled.data(), polled.size(), 0) > 0) {
            for (std::size_t i = 0; i < handlers.size(); ++i) {
                const bool stillThere =
                    std::any_of(handlers_.begin(), handlers_.end(), [&](const Handler& h) {
                        return h.handler == handlers[i].handler && h.fd == handlers[i].fd;
                    });
                if (polled[i].revents != 0 && stillThere) {
                    handlers[i].handler->onFDIsSet(handlers[i].fd);
                }
            }
        }
        for (const Handler& h : handlers) {
            h.handler->release();
        }
    }

    int registrations() const override {
        return static_cast<int>(timers_.size() + handlers_.size());
    }

    void destroy() override {
        // What a view left registered goes with the host's reference.
        for (auto* t : timers_) {
            t->release();
        }
        timers_.clear();
        for (const Handler& h : handlers_) {
            h.handler->release();
        }
        handlers_.clear();
        release();
    }

private:
    struct Handler {
        Linux::IEventHandler* handler;
        Linux::FileDescriptor fd;
    };

    template <typename T> static tresult drop(std::vector<T>& list, const void* handler) {
        tresult result = kInvalidArgument;
        for (auto it = list.begin(); it != list.end();) {
            FUnknown* h = entryHandler(*it);
            if (h == handler) {
                it = list.erase(it);
                h->release();
                result = kResultOk;
            } else {
                ++it;
            }
        }
        return result;
    }
    static FUnknown* entryHandler(Linux::ITimerHandler* t) { return t; }
    static FUnknown* entryHandler(const Handler& h) { return h.handler; }

    std::atomic<uint32> references_{1};
    std::vector<Linux::ITimerHandler*> timers_;
    std::vector<Handler> handlers_;
};

} // namespace

std::filesystem::path vst3BundleBinary(const std::filesystem::path& bundle) {
    std::filesystem::path folder = bundle;
    if (!folder.has_filename()) {
        folder = folder.parent_path();
    }
    return folder / "Contents" / kArchitecture / (folder.stem().string() + ".so");
}

bool vst3EnterModule(void* library, std::string& reason) {
    using Entry = bool (*)(void*);
    const auto entry = reinterpret_cast<Entry>(sharedLibrarySymbol(library, "ModuleEntry"));
    if (!entry) {
        reason = "is not a VST3 module for Linux: it exports no ModuleEntry";
        return false;
    }
    if (!entry(library)) {
        reason = "refused to load: its ModuleEntry returned false";
        return false;
    }
    return true;
}

void vst3ExitModule(void* library) {
    using Exit = bool (*)();
    if (const auto exit = reinterpret_cast<Exit>(sharedLibrarySymbol(library, "ModuleExit"))) {
        exit();
    }
}

const char* vst3PlatformType() {
    return kPlatformTypeX11EmbedWindowID;
}

Vst3RunLoop* makeVst3RunLoop() {
    return new RunLoop();
}

} // namespace gravelix::host

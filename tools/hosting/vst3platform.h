// What VST3 hosting does differently per platform: where a bundle keeps its binary, the
// module's entry and exit, the window type its views embed into and the run loop they are
// idled by.
#pragma once

#include <pluginterfaces/base/funknown.h>

#include <filesystem>
#include <string>

namespace gravelix::host {

// The binary inside bundle folder `bundle` (Contents/x86_64-linux/<name>.so on Linux).
std::filesystem::path vst3BundleBinary(const std::filesystem::path& bundle);
// Calls the module's entry (ModuleEntry, InitDll); false with the missing or refusing function
// named in `reason`. Called once per loaded library, paired with vst3ExitModule.
bool vst3EnterModule(void* library, std::string& reason);
void vst3ExitModule(void* library);

// kPlatformTypeX11EmbedWindowID or kPlatformTypeHWND.
const char* vst3PlatformType();

// The host's run loop a view asks its frame for (Linux), or nothing where views bring their own.
// Reference-counted, as a view may keep it: the host drops its own reference with destroy().
class Vst3RunLoop {
public:
    // The IRunLoop; null where the platform has none.
    virtual Steinberg::FUnknown* unknown() = 0;
    // Calls every registered timer and the handlers of descriptors ready now, without waiting.
    virtual void idle() = 0;
    // Registered timers and descriptor handlers, for checks that they are returned.
    virtual int registrations() const = 0;
    virtual void destroy() = 0;

protected:
    ~Vst3RunLoop() = default;
};
Vst3RunLoop* makeVst3RunLoop();

} // namespace gravelix::host

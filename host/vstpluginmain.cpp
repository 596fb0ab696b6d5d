// The library's two ways in: the load hook that remembers where the library lives, and the
// entry point a host calls to get an effect.
#include "audioeffect.h"
#include "hinstance.h"

extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMain(audioMasterCallback audioMaster);

namespace {
// Runs when the library is loaded; any address inside the library identifies it. The hook's
// own address is used because an exported name could be bound to another module's definition.
__attribute__((constructor)) void onLibraryLoad() {
    recordModuleHandle(reinterpret_cast<const void*>(&onLibraryLoad));
}
} // namespace

// Also reachable as `main`, bound to this function at link time.
extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMain(audioMasterCallback audioMaster) {
    if (!audioMaster)
        return nullptr;
    try {
        if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
            return nullptr;
        AudioEffect* effect = createEffectInstance(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        // Allocation or construction failed; a host gets null, never an exception.
        return nullptr;
    }
}

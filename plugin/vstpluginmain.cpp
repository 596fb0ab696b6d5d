// The entry point a host calls to get an effect. The load hook that remembers where the
// library lives is the platform's (loadhook.cpp, dllmain.cpp).
#include "audioeffect.h"

extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMain(audioMasterCallback audioMaster);

// Also reachable as `main`, bound to this function at link time.
extern "C" __attribute__((visibility("default"))) AEffect*
VSTPluginMain(audioMasterCallback audioMaster) {
    if (!audioMaster) {
        return nullptr;
    }
    try {
        if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
            return nullptr;
        }
        AudioEffect* effect = createEffectInstance(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        // Allocation or construction failed; a host gets null, never an exception.
        return nullptr;
    }
}

// The library's one export: the descriptor of the pedal it holds (one per library, as the two
// chains share their class names). No host feature is needed, so none is read.
#include <lv2/core/lv2.h>

#include <new>
#include <string>

#include "lv2pedal.h"

namespace {

Lv2Pedal* from(LV2_Handle handle) {
    return static_cast<Lv2Pedal*>(handle);
}

const LV2_Descriptor* pedalDescriptor() {
    // Made once, on the host's first look-up: the URI outlives every instance.
    static const std::string uri = lv2PluginUri(kPedalId);
    static const LV2_Descriptor descriptor = {
        uri.c_str(),
        [](const LV2_Descriptor*, double rate, const char*,
           const LV2_Feature* const*) -> LV2_Handle {
            if (!Lv2Pedal::acceptsRate(rate)) {
                return nullptr;
            }
            return new (std::nothrow) Lv2Pedal(rate);
        },
        [](LV2_Handle h, uint32_t port, void* data) { from(h)->connect(port, data); },
        [](LV2_Handle h) { from(h)->activate(); },
        [](LV2_Handle h, uint32_t frames) { from(h)->run(frames); },
        [](LV2_Handle) {},
        [](LV2_Handle h) { delete from(h); },
        [](const char*) -> const void* { return nullptr; },
    };
    return &descriptor;
}

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? pedalDescriptor() : nullptr;
}

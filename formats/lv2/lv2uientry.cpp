// The UI library's one export: the descriptor of the pedal's editor (one UI library per pedal,
// each linking its own pedal's images).
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <cstring>
#include <string>

#include "lv2editor.h"
#include "lv2pedaluri.h"
#include "pedalvariant.h"

namespace {

Lv2Editor* from(LV2UI_Handle handle) {
    return static_cast<Lv2Editor*>(handle);
}

const void* extensionData(const char* uri) {
    static const LV2UI_Idle_Interface idle = {[](LV2UI_Handle h) { return from(h)->idle(); }};
    // The host's resize of our window, as extension data: the handle is the UI's own.
    static const LV2UI_Resize resize = {nullptr, [](LV2UI_Feature_Handle h, int width, int height) {
                                            return from(h)->hostResized(width, height);
                                        }};
    if (!uri) {
        return nullptr;
    }
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) {
        return &idle;
    }
    if (std::strcmp(uri, LV2_UI__resize) == 0) {
        return &resize;
    }
    return nullptr;
}

const LV2UI_Descriptor* editorDescriptor() {
    // Made once, on the host's first look-up: the URI outlives every instance.
    static const std::string uri = lv2UiUri(kPedalId);
    static const LV2UI_Descriptor descriptor = {
        uri.c_str(),
        [](const LV2UI_Descriptor*, const char*, const char*, LV2UI_Write_Function write,
           LV2UI_Controller controller, LV2UI_Widget* widget,
           const LV2_Feature* const* features) -> LV2UI_Handle {
            // Nothing may unwind into the host's C code: a UI that cannot be made is none.
            try {
                return Lv2Editor::instantiate(write, controller, widget, features);
            } catch (...) {
                return nullptr;
            }
        },
        [](LV2UI_Handle h) { delete from(h); },
        [](LV2UI_Handle h, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
            from(h)->portEvent(port, size, format, buffer);
        },
        extensionData,
    };
    return &descriptor;
}

} // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? editorDescriptor() : nullptr;
}

#include "lv2uihost.h"

#include <lv2/atom/atom.h>

#include <cstring>
#include <dlfcn.h>

namespace lv2uitest {

UiLibrary::UiLibrary(const char* path) : handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
    if (!handle) {
        message = dlerror();
        return;
    }
    using Entry = const LV2UI_Descriptor* (*)(uint32_t);
    auto entry = reinterpret_cast<Entry>(dlsym(handle, "lv2ui_descriptor"));
    d = entry ? entry(0) : nullptr;
    if (!d) {
        message = "no lv2ui_descriptor(0)";
    }
}

UiLibrary::~UiLibrary() {
    if (handle) {
        dlclose(handle);
    }
}

UiInstance::UiInstance(const UiLibrary& library, std::uintptr_t parentWindow, const Offer& offer)
    : d(library.descriptor()) {
    mapFeature.handle = this;
    mapFeature.map = [](LV2_URID_Map_Handle h, const char* uri) {
        return static_cast<UiInstance*>(h)->map(uri);
    };
    resizeFeature.handle = this;
    resizeFeature.ui_resize = [](LV2UI_Feature_Handle h, int width, int height) {
        static_cast<UiInstance*>(h)->resizes.emplace_back(width, height);
        return 0;
    };
    touchFeature.handle = this;
    touchFeature.touch = [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
        static_cast<UiInstance*>(h)->touches.push_back({port, grabbed});
    };
    scale = static_cast<float>(offer.scale);
    if (offer.scale > 0.0) {
        options.push_back({LV2_OPTIONS_INSTANCE, 0, map(LV2_UI__scaleFactor), sizeof(float),
                           map(LV2_ATOM__Float), &scale});
        options.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
    }

    const LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(parentWindow)};
    const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
    const LV2_Feature resizeF{LV2_UI__resize, &resizeFeature};
    const LV2_Feature touchF{LV2_UI__touch, &touchFeature};
    const LV2_Feature mapF{LV2_URID__map, &mapFeature};
    const LV2_Feature optionsF{LV2_OPTIONS__options, options.data()};
    std::vector<const LV2_Feature*> features;
    if (offer.parent) {
        features.push_back(&parentFeature);
    }
    if (offer.idleFeature) {
        features.push_back(&idleFeature);
    }
    if (offer.resize) {
        features.push_back(&resizeF);
    }
    if (offer.touch) {
        features.push_back(&touchF);
    }
    if (!options.empty()) {
        features.push_back(&mapF);
        features.push_back(&optionsF);
    }
    features.push_back(nullptr);
    if (!d) {
        return;
    }
    handle = d->instantiate(
        d, "https://keldwyn.example/plugins/test", "",
        [](LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
            if (format == 0 && size == sizeof(float)) {
                static_cast<UiInstance*>(c)->writes.push_back(
                    {port, *static_cast<const float*>(buffer)});
            }
        },
        this, &widgetHandle, features.data());
}

UiInstance::~UiInstance() {
    cleanup();
}

void UiInstance::cleanup() {
    if (handle) {
        d->cleanup(handle);
        handle = nullptr;
    }
}

LV2_URID UiInstance::map(const char* uri) {
    for (std::size_t i = 0; i < uris.size(); ++i) {
        if (uris[i] == uri) {
            return static_cast<LV2_URID>(i + 1);
        }
    }
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
}

const void* UiInstance::extension(const char* uri) const {
    return d && d->extension_data ? d->extension_data(uri) : nullptr;
}

bool UiInstance::idle() {
    auto* idle = static_cast<const LV2UI_Idle_Interface*>(extension(LV2_UI__idleInterface));
    return handle && idle && idle->idle(handle) == 0;
}

void UiInstance::portEvent(std::uint32_t port, float value) {
    portEventRaw(port, sizeof value, 0, &value);
}

void UiInstance::portEventRaw(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                              const void* buffer) {
    if (handle) {
        d->port_event(handle, port, size, format, buffer);
    }
}

} // namespace lv2uitest

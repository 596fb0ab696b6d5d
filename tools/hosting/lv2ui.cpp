#include "lv2ui.h"

#include "lv2urimap.h"
#include "sharedlibrary.h"

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <stdexcept>

namespace gravelix::host {

Lv2Ui::Lv2Ui(const Lv2UiInfo& info, const std::string& pluginUri, unsigned long parent, float scale,
             Callbacks callbacks)
    : callbacks_(std::move(callbacks)), scale_(scale) {
    std::string reason;
    library_ = openSharedLibrary(info.binary, reason);
    if (!library_) {
        throw std::runtime_error("cannot load the LV2 UI '" + info.binary + "': " + reason);
    }
    using Entry = const LV2UI_Descriptor* (*)(std::uint32_t);
    const auto entry = reinterpret_cast<Entry>(sharedLibrarySymbol(library_, "lv2ui_descriptor"));
    for (std::uint32_t i = 0; entry && !descriptor_; ++i) {
        const LV2UI_Descriptor* d = entry(i);
        if (!d) {
            break;
        }
        if (d->URI && info.uri == d->URI) {
            descriptor_ = d;
        }
    }
    if (!descriptor_ || !descriptor_->instantiate || !descriptor_->cleanup) {
        closeSharedLibrary(library_);
        throw std::runtime_error("'" + info.binary + "' offers no LV2 UI '" + info.uri + "'");
    }

    Lv2UriMap& map = Lv2UriMap::instance();
    resize_ = {this, [](LV2UI_Feature_Handle h, int width, int height) {
                   auto* self = static_cast<Lv2Ui*>(h);
                   if (width <= 0 || height <= 0 || width > 8192 || height > 8192) {
                       return 1;
                   }
                   self->width_ = width;
                   self->height_ = height;
                   return self->callbacks_.resize && !self->callbacks_.resize(width, height) ? 1
                                                                                             : 0;
               }};
    portMap_ = {this, [](LV2UI_Feature_Handle h, const char* symbol) {
                    auto* self = static_cast<Lv2Ui*>(h);
                    return symbol && self->callbacks_.portIndex ? self->callbacks_.portIndex(symbol)
                                                                : LV2UI_INVALID_PORT_INDEX;
                }};
    touch_ = {this, [](LV2UI_Feature_Handle h, std::uint32_t port, bool grabbed) {
                  auto* self = static_cast<Lv2Ui*>(h);
                  if (self->callbacks_.touch) {
                      self->callbacks_.touch(port, grabbed);
                  }
              }};
    if (scale_ > 0.0f) {
        options_.push_back({LV2_OPTIONS_INSTANCE, 0, map.map(LV2_UI__scaleFactor), sizeof(float),
                            map.map(LV2_ATOM__Float), &scale_});
    }
    options_.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
    // The parent travels as the window id in the pointer, as X11 UIs expect.
    features_ = {{LV2_UI__parent, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent))},
                 {LV2_UI__resize, &resize_},
                 {LV2_UI__portMap, &portMap_},
                 {LV2_UI__touch, &touch_},
                 {LV2_UI__idleInterface, nullptr},
                 {LV2_URID__map, map.mapFeature()},
                 {LV2_URID__unmap, map.unmapFeature()},
                 {LV2_OPTIONS__options, options_.data()}};
    for (const LV2_Feature& f : features_) {
        featureList_.push_back(&f);
    }
    featureList_.push_back(nullptr);

    LV2UI_Widget widget = nullptr;
    handle_ = descriptor_->instantiate(
        descriptor_, pluginUri.c_str(), info.bundle.c_str(),
        [](LV2UI_Controller controller, std::uint32_t port, std::uint32_t size,
           std::uint32_t protocol, const void* buffer) {
            auto* self = static_cast<Lv2Ui*>(controller);
            // Only the float protocol is understood; anything else is ignored, as LV2 asks.
            if (protocol == 0 && size == sizeof(float) && buffer && self->callbacks_.write) {
                self->callbacks_.write(port, *static_cast<const float*>(buffer));
            }
        },
        this, &widget, featureList_.data());
    if (!handle_) {
        closeSharedLibrary(library_);
        throw std::runtime_error("the LV2 UI '" + info.uri + "' made no instance");
    }
    if (descriptor_->extension_data) {
        idle_ = static_cast<const LV2UI_Idle_Interface*>(
            descriptor_->extension_data(LV2_UI__idleInterface));
    }
}

Lv2Ui::~Lv2Ui() {
    descriptor_->cleanup(handle_);
    closeSharedLibrary(library_);
}

void Lv2Ui::portEvent(std::uint32_t port, float value) {
    if (descriptor_->port_event && !closed_) {
        descriptor_->port_event(handle_, port, sizeof(float), 0, &value);
    }
}

bool Lv2Ui::idle() {
    if (!closed_ && idle_ && idle_->idle && idle_->idle(handle_) != 0) {
        closed_ = true;
    }
    return !closed_;
}

} // namespace gravelix::host

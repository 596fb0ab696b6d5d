#include "lv2editor.h"

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "decodeahead.h"
#include "gravelixeditor.h"
#include "lv2pedaluri.h"
#include "toolkit/cframe.h"
#include "toolkit/platform/iplatformframe.h"

namespace {

bool is(const LV2_Feature* feature, const char* uri) {
    return feature && feature->URI && std::strcmp(feature->URI, uri) == 0;
}

// The host's scale for the UI from its options; 0 when it gives none we can read. Needs the
// host's URID map to know the option's key and type.
double optionScale(const LV2_Options_Option* options, const LV2_URID_Map* map) {
    if (!options || !map || !map->map) {
        return 0.0;
    }
    const LV2_URID key = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
    const LV2_URID doubleType = map->map(map->handle, LV2_ATOM__Double);
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value; ++o) {
        if (o->key != key || o->context != LV2_OPTIONS_INSTANCE || !o->value) {
            continue;
        }
        double scale = 0.0;
        if (o->type == floatType && o->size == sizeof(float)) {
            scale = *static_cast<const float*>(o->value);
        } else if (o->type == doubleType && o->size == sizeof(double)) {
            scale = *static_cast<const double*>(o->value);
        }
        return std::isfinite(scale) && scale > 0.0 ? scale : 0.0;
    }
    return 0.0;
}

} // namespace

Lv2Editor::Lv2Editor(LV2UI_Write_Function writeFunction, LV2UI_Controller hostController)
    : write(writeFunction), controller(hostController) {
    for (const ParameterInfo& row : kParameterTable) {
        values[static_cast<std::size_t>(row.index)] = defaultValue(row);
    }
    // LV2 hosts end the UI whenever its window closes, and nothing of ours lives in the UI
    // library in between: without this the images would be decoded anew at every reopen. The
    // decoding thread (no window, no X connection) and what it prepared stay from the first
    // UI to the process's end.
    static const bool keptWarm = (DecodeAhead::attach(), true);
    (void)keptWarm;
    view = std::make_unique<gravelixeditor>(*this);
}

Lv2Editor* Lv2Editor::instantiate(LV2UI_Write_Function write, LV2UI_Controller controller,
                                  LV2UI_Widget* widget, const LV2_Feature* const* features) {
    if (!write || !widget) {
        return nullptr;
    }
    std::unique_ptr<Lv2Editor> ui(new Lv2Editor(write, controller));
    ui->readFeatures(features);
    if (!ui->parent) {
        return nullptr;
    }
    if (ui->hostScale > 0.0) {
        ui->view->setHostScaleFactor(ui->hostScale);
    }
    if (!ui->view->open(ui->parent)) {
        return nullptr;
    }
    Toolkit::CFrame* frame = ui->view->getFrame();
    Toolkit::IPlatformFrame* window = frame ? frame->platformFrame() : nullptr;
    if (!window || !window->nativeHandle()) {
        return nullptr;
    }
    *widget = window->nativeHandle();
    int width = 0;
    int height = 0;
    if (ui->hostResize && ui->hostResize->ui_resize && ui->currentSize(width, height)) {
        ui->hostResize->ui_resize(ui->hostResize->handle, width, height);
    }
    return ui.release();
}

void Lv2Editor::readFeatures(const LV2_Feature* const* features) {
    const LV2_Options_Option* options = nullptr;
    const LV2_URID_Map* map = nullptr;
    for (const LV2_Feature* const* f = features; f && *f; ++f) {
        if (is(*f, LV2_UI__parent)) {
            parent = (*f)->data;
        } else if (is(*f, LV2_UI__resize)) {
            hostResize = static_cast<const LV2UI_Resize*>((*f)->data);
        } else if (is(*f, LV2_UI__touch)) {
            touch = static_cast<const LV2UI_Touch*>((*f)->data);
        } else if (is(*f, LV2_OPTIONS__options)) {
            options = static_cast<const LV2_Options_Option*>((*f)->data);
        } else if (is(*f, LV2_URID__map)) {
            map = static_cast<const LV2_URID_Map*>((*f)->data);
        }
        // ui:idleInterface needs nothing read: the host calls our idle extension either way.
    }
    hostScale = optionScale(options, map);
}

Lv2Editor::~Lv2Editor() {
    if (view->isOpen()) {
        view->close();
        // What the server still had for the closed window would wait in the connection's
        // queue until the next editor's idle; read and dropped now.
        view->idle();
    }
}

void Lv2Editor::portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                          const void* buffer) {
    if (format != 0 || size != sizeof(float) || !buffer || port < kLv2FirstControl ||
        port >= kLv2LatencyPort) {
        return;
    }
    const float value = *static_cast<const float*>(buffer);
    if (std::isnan(value)) {
        return;
    }
    const auto index = static_cast<std::int32_t>(port - kLv2FirstControl);
    const float shown = std::clamp(value, 0.0f, 1.0f);
    values[static_cast<std::size_t>(index)] = shown;
    view->setParameter(index, shown);
}

int Lv2Editor::idle() {
    if (!view->isOpen()) {
        return 1;
    }
    view->idle();
    return 0;
}

bool Lv2Editor::currentSize(int& width, int& height) {
    ERect* rect = nullptr;
    if (!view->getRect(&rect) || !rect) {
        return false;
    }
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    return true;
}

int Lv2Editor::hostResized(int width, int height) {
    int w = 0;
    int h = 0;
    return currentSize(w, h) && w == width && h == height ? 0 : 1;
}

std::int32_t Lv2Editor::parameterCount() {
    return kParameterCount;
}

float Lv2Editor::parameterValue(std::int32_t index) {
    return index >= 0 && index < kParameterCount ? values[static_cast<std::size_t>(index)] : 0.0f;
}

void Lv2Editor::beginEdit(std::int32_t index) {
    if (touch && touch->touch) {
        touch->touch(touch->handle, kLv2FirstControl + static_cast<std::uint32_t>(index), true);
    }
}

void Lv2Editor::performEdit(std::int32_t index, float value) {
    if (index < 0 || index >= kParameterCount) {
        return;
    }
    values[static_cast<std::size_t>(index)] = value;
    write(controller, kLv2FirstControl + static_cast<std::uint32_t>(index), sizeof(float), 0,
          &value);
}

void Lv2Editor::endEdit(std::int32_t index) {
    if (touch && touch->touch) {
        touch->touch(touch->handle, kLv2FirstControl + static_cast<std::uint32_t>(index), false);
    }
}

EditorHost::SizeAnswer Lv2Editor::resizeWindow(std::int32_t width, std::int32_t height) {
    // A host that took the size sizes its own windows; without one (or when it says no) the
    // editor sizes the window around it, as for a VST 2.4 host that cannot.
    if (hostResize && hostResize->ui_resize && width > 0 && height > 0 &&
        hostResize->ui_resize(hostResize->handle, width, height) == 0) {
        return SizeAnswer::resized;
    }
    return SizeAnswer::unsupported;
}

// An LV2 plug-in's X11 UI hosted in the host's own window: its binary opened, its descriptor
// instantiated with ui:parent as that window, idled from the host's idle, told about port
// changes, its writes and touches handed back to the owner. Every call on the editor's thread.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gravelix::host {

// Where a plug-in's X11 UI is, from its data.
struct Lv2UiInfo {
    std::string uri, bundle, binary; // the bundle with its trailing '/'
};

class Lv2Ui {
public:
    // What the UI asks of its host; each may be empty.
    struct Callbacks {
        std::function<void(std::uint32_t port, float value)> write;
        std::function<void(std::uint32_t port, bool grabbed)> touch;
        std::function<bool(int width, int height)> resize;
        std::function<std::uint32_t(const char* symbol)> portIndex;
    };

    // Opens the UI into the X window `parent`; `scale` > 0 is offered as ui:scaleFactor.
    // Throws std::runtime_error when the binary or its descriptor cannot be had, or it makes
    // no instance.
    Lv2Ui(const Lv2UiInfo& info, const std::string& pluginUri, unsigned long parent, float scale,
          Callbacks callbacks);
    ~Lv2Ui();
    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    // The float value of a control port, for the UI to show.
    void portEvent(std::uint32_t port, float value);
    // One turn of the UI's own loop; false once it says it closed.
    bool idle();
    // The size the UI last asked for, 0 before it asked.
    int width() const { return width_; }
    int height() const { return height_; }

private:
    void* library_ = nullptr;
    const LV2UI_Descriptor* descriptor_ = nullptr;
    LV2UI_Handle handle_ = nullptr;
    const LV2UI_Idle_Interface* idle_ = nullptr;
    bool closed_ = false;
    int width_ = 0, height_ = 0;
    Callbacks callbacks_;
    float scale_ = 0.0f;
    LV2UI_Resize resize_{};
    LV2UI_Port_Map portMap_{};
    LV2UI_Touch touch_{};
    std::vector<LV2_Options_Option> options_;
    std::vector<LV2_Feature> features_;
    std::vector<const LV2_Feature*> featureList_;
};

} // namespace gravelix::host

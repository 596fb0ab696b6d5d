// A small LV2 UI host for the editor tests: loads a UI library, offers the features a test
// chooses, and records what the UI sends back (port writes, touches, resize requests).
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace lv2uitest {

class UiLibrary {
public:
    explicit UiLibrary(const char* path);
    ~UiLibrary();
    UiLibrary(const UiLibrary&) = delete;
    UiLibrary& operator=(const UiLibrary&) = delete;

    const LV2UI_Descriptor* descriptor() const { return d; }
    const std::string& error() const { return message; }

private:
    void* handle = nullptr;
    const LV2UI_Descriptor* d = nullptr;
    std::string message;
};

struct Write {
    std::uint32_t port;
    float value;
};
struct Touch {
    std::uint32_t port;
    bool grabbed;
};

// What a host offers besides its parent window: ui:resize, ui:touch, ui:idleInterface, and
// a scale factor in its options (with the URID map they need); a scale of 0 gives no options.
struct Offer {
    bool resize = true;
    bool touch = true;
    bool idleFeature = true;
    bool parent = true;
    double scale = 0.0;
};

class UiInstance {
public:
    UiInstance(const UiLibrary& library, std::uintptr_t parentWindow, const Offer& offer = {});
    ~UiInstance();
    UiInstance(const UiInstance&) = delete;
    UiInstance& operator=(const UiInstance&) = delete;

    bool ok() const { return handle != nullptr; }
    LV2UI_Handle uiHandle() const { return handle; }
    std::uintptr_t widget() const { return reinterpret_cast<std::uintptr_t>(widgetHandle); }
    // The UI's idle extension; false when it has none or says it closed.
    bool idle();
    void portEvent(std::uint32_t port, float value);
    void portEventRaw(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                      const void* buffer);
    const void* extension(const char* uri) const;
    // Ends the UI now, ahead of the object.
    void cleanup();

    std::vector<Write> writes;
    std::vector<Touch> touches;
    std::vector<std::pair<int, int>> resizes;

private:
    LV2_URID map(const char* uri);

    const LV2UI_Descriptor* d;
    LV2UI_Handle handle = nullptr;
    LV2UI_Widget widgetHandle = nullptr;
    std::vector<std::string> uris;
    LV2_URID_Map mapFeature{};
    LV2UI_Resize resizeFeature{};
    LV2UI_Touch touchFeature{};
    float scale = 0.0f;
    std::vector<LV2_Options_Option> options;
};

} // namespace lv2uitest

// The pedal editor as an LV2 X11 UI: embedded in the host's parent window, driven by the host's
// idle calls on its UI thread, and talking to the DSP only through the host: edits go out as
// port writes, the ports' values come back as port events.
#pragma once

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <array>
#include <cstdint>
#include <memory>

#include "editorhost.h"
#include "parametertable.h"

class gravelixeditor;

class Lv2Editor final : public EditorHost {
public:
    // Every feature is optional but the parent window: without one there is nothing to embed
    // in, and null lets the host fall back to its own controls.
    static Lv2Editor* instantiate(LV2UI_Write_Function write, LV2UI_Controller controller,
                                  LV2UI_Widget* widget, const LV2_Feature* const* features);
    ~Lv2Editor() override;

    // A control port's value as the host tells it (float protocol only); shown at the next idle.
    void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                   const void* buffer);
    // Handles the window's events and redraws; 0 while the window is open.
    int idle();
    // The host sized our window: 0 only for the size the editor has, as its sizes are fixed.
    int hostResized(int width, int height);

    // EditorHost
    std::int32_t parameterCount() override;
    float parameterValue(std::int32_t index) override;
    void beginEdit(std::int32_t index) override;
    void performEdit(std::int32_t index, float value) override;
    void endEdit(std::int32_t index) override;
    SizeAnswer resizeWindow(std::int32_t width, std::int32_t height) override;

private:
    Lv2Editor(LV2UI_Write_Function write, LV2UI_Controller controller);
    void readFeatures(const LV2_Feature* const* features);
    bool currentSize(int& width, int& height);

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    void* parent = nullptr;
    const LV2UI_Resize* hostResize = nullptr;
    const LV2UI_Touch* touch = nullptr;
    // 0 when the host's options carry no scale.
    double hostScale = 0.0;
    // Each control port's value as last written or told; the table's defaults until then.
    std::array<float, kParameterCount> values{};
    std::unique_ptr<gravelixeditor> view;
};

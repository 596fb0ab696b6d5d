// The pedal editor as a VST3 view: the controller's one editor embedded into the host's window,
// sized by the host's scale (1x when it sends none), driven by the host's thread alone.
#pragma once

#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/gui/iplugviewcontentscalesupport.h>

#include "editorhost.h"
#include "vst3object.h"
#include "vst3viewdriver.h"

class Vst3Controller;

class Vst3View final : public Steinberg::IPlugView, public Steinberg::IPlugViewContentScaleSupport {
public:
    explicit Vst3View(Vst3Controller& controller);
    Vst3View(const Vst3View&) = delete;
    Vst3View& operator=(const Vst3View&) = delete;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    GRAVELIX_VST3_REFCOUNT;

    // IPlugView
    Steinberg::tresult PLUGIN_API isPlatformTypeSupported(Steinberg::FIDString type) override;
    Steinberg::tresult PLUGIN_API attached(void* parent, Steinberg::FIDString type) override;
    Steinberg::tresult PLUGIN_API removed() override;
    Steinberg::tresult PLUGIN_API onWheel(float distance) override;
    Steinberg::tresult PLUGIN_API onKeyDown(Steinberg::char16 key, Steinberg::int16 keyCode,
                                            Steinberg::int16 modifiers) override;
    Steinberg::tresult PLUGIN_API onKeyUp(Steinberg::char16 key, Steinberg::int16 keyCode,
                                          Steinberg::int16 modifiers) override;
    Steinberg::tresult PLUGIN_API getSize(Steinberg::ViewRect* size) override;
    Steinberg::tresult PLUGIN_API onSize(Steinberg::ViewRect* newSize) override;
    Steinberg::tresult PLUGIN_API onFocus(Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API setFrame(Steinberg::IPlugFrame* frame) override;
    Steinberg::tresult PLUGIN_API canResize() override;
    Steinberg::tresult PLUGIN_API checkSizeConstraint(Steinberg::ViewRect* rect) override;

    // IPlugViewContentScaleSupport
    Steinberg::tresult PLUGIN_API setContentScaleFactor(ScaleFactor factor) override;

    // The editor's size change, asked of the host's frame.
    EditorHost::SizeAnswer requestSize(std::int32_t width, std::int32_t height);
    // The controller is going: the editor closes now and the view stays an empty shell.
    void controllerGone();

private:
    ~Vst3View();
    void close();

    Vst3Controller* controller;
    Steinberg::IPlugFrame* frame = nullptr;
    Vst3ViewDriver driver;
    bool open = false;
};

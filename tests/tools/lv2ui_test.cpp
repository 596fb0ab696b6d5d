// Guards the LV2 bridge's hosting of an X11 UI: a UI not given the host's window as ui:parent,
// or resize, touch, idle and scale; its size not reaching the host window; its writes not
// setting the control and reaching the host as a begin/automate/end gesture; host changes
// never told to it; or a UI left alive after the editor closes.
#include "tools/hosting/pluginhost.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

using gravelix::host::HostCall;
using gravelix::host::PluginHost;

namespace {

struct Lv2FixtureUiLog {
    int instances, cleanups, idles, events;
    float values[5];
    unsigned long parent;
    float scale;
    bool hadTouch, hadIdleFeature;
};

const std::string kBundle = LV2_FIXTURE_BUNDLE;
constexpr VstInt32 kGain = 0; // parameter 0 is port 2, gain from 0 to 2

// The fixture's log, from the library the host has loaded.
Lv2FixtureUiLog* uiLog() {
    void* library = dlopen((kBundle + "/lv2fixture.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!library) {
        return nullptr;
    }
    using Log = Lv2FixtureUiLog* (*)();
    auto* log = reinterpret_cast<Log>(dlsym(library, "lv2fixture_ui_log"))();
    dlclose(library);
    return log;
}

bool called(const std::vector<HostCall>& calls, VstInt32 opcode, VstInt32 index, float opt = -1.0f,
            VstIntPtr value = -1) {
    for (const HostCall& c : calls) {
        if (c.opcode == opcode && c.index == index && (opt < 0.0f || c.opt == opt) &&
            (value < 0 || c.value == value)) {
            return true;
        }
    }
    return false;
}

TEST(Lv2Ui, OpensInTheHostWindowTalksBothWaysAndCloses) {
    PluginHost plugin(kBundle, "urn:gravelix:tests:lv2:good");
    ASSERT_TRUE(plugin.effect()->flags & effFlagsHasEditor);
    Lv2FixtureUiLog* log = uiLog();
    ASSERT_NE(log, nullptr);
    *log = {};
    ERect* rect = nullptr;
    ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &rect), 1) << "a size to start the window at";

    // The host's scale message, then the window id in the pointer as for every editor.
    EXPECT_EQ(plugin.dispatch(effVendorSpecific, 0x50726553, 0x41654373, nullptr, 2.0f), 1);
    ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x4a0002ul)), 1);
    EXPECT_EQ(log->instances, 1);
    EXPECT_EQ(log->parent, 0x4a0002ul);
    EXPECT_EQ(log->scale, 2.0f);
    EXPECT_TRUE(log->hadTouch);
    EXPECT_TRUE(log->hadIdleFeature);
    EXPECT_EQ(log->values[2], 1.0f) << "the UI starts from the controls' values";
    EXPECT_EQ(log->values[3], 1.0f);
    EXPECT_TRUE(called(plugin.state().calls(), audioMasterSizeWindow, 320, -1.0f, 200));
    ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, 320);
    EXPECT_EQ(rect->bottom - rect->top, 200);
    EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x4a0002ul)), 0)
        << "a second open while open";

    // The UI's first idle drags the gain to 1.5: the control, and the host's gesture.
    plugin.state().clearCalls();
    plugin.dispatch(effEditIdle);
    EXPECT_EQ(log->idles, 1);
    EXPECT_FLOAT_EQ(plugin.getParameter(kGain), 0.75f);
    const auto calls = plugin.state().calls();
    EXPECT_TRUE(called(calls, audioMasterBeginEdit, kGain));
    EXPECT_TRUE(called(calls, audioMasterAutomate, kGain, 0.75f));
    EXPECT_TRUE(called(calls, audioMasterEndEdit, kGain));

    // A host change reaches the UI at its next idle, once; its own write is not echoed.
    const int events = log->events;
    plugin.dispatch(effEditIdle);
    EXPECT_EQ(log->events, events);
    plugin.setParameter(kGain, 0.25f);
    plugin.dispatch(effEditIdle);
    EXPECT_EQ(log->values[2], 0.5f);
    EXPECT_EQ(log->events, events + 1);

    plugin.dispatch(effEditClose);
    EXPECT_EQ(log->cleanups, 1);
    plugin.dispatch(effEditIdle);
    EXPECT_EQ(log->idles, 3) << "no idle after close";

    // Another instance's window starts at the size the UI asked for.
    PluginHost other(kBundle, "urn:gravelix:tests:lv2:good");
    ASSERT_EQ(other.dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, 320);
}

TEST(Lv2Ui, PluginsWithoutAnX11UiHaveNoEditor) {
    PluginHost plugin(kBundle, "urn:gravelix:tests:lv2:no-reset");
    EXPECT_FALSE(plugin.effect()->flags & effFlagsHasEditor);
    EXPECT_EQ(plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x4a0002ul)), 0);
}

} // namespace

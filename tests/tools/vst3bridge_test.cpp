// Guards against the VST3 bridge misrepresenting a VST3 plug-in as an effect record: values set
// while suspended never reaching the processor, changes while processing missing the next
// block, texts not converted either way, a chunk that does not bring back the sound and the
// controller's values, a latency change never restarting, a view not scaled, sized, idled
// through the run loop or heard when it edits or asks for another size, or a host context that
// misnames the host or hides its list of the interfaces it uses.
#include "tools/hosting/pluginhost.h"
#include "tools/hosting/vst3bridge.h"

#include <pluginterfaces/vst/ivstmidicontrollers.h>
#include <pluginterfaces/vst/ivstpluginterfacesupport.h>
#include <pluginterfaces/vst/ivstunits.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using gravelix::host::PluginHost;

namespace {

const std::string kBundle = std::string(FIXTURE_DIR) + "/vst3fixture.vst3";
constexpr VstInt32 kGain = 0, kTone = 1, kPolarity = 2;

// The last sample of the left channel after each of `blocks` blocks of constant input.
std::vector<float> play(const PluginHost& p, int blocks, float level = 0.25f) {
    std::vector<float> in(64, level), l(in.size()), r(in.size()), last;
    float* ins[] = {in.data(), in.data()};
    float* outs[] = {l.data(), r.data()};
    for (int b = 0; b < blocks; ++b) {
        p.process(ins, outs, 64);
        last.push_back(l.back());
    }
    return last;
}

void start(const PluginHost& p) {
    p.setSampleRate(48000.0f);
    p.setBlockSize(64);
    p.resume();
}

} // namespace

TEST(Vst3Bridge, ValuesSetWhileSuspendedSurviveAChunkIntoAFreshInstance) {
    PluginHost a(kBundle);
    a.setParameter(kGain, 0.75f);
    a.setParameter(kTone, 0.5f);
    a.setParameter(kPolarity, 1.0f);
    void* data = nullptr;
    const VstIntPtr size = a.dispatch(effGetChunk, 0, 0, &data);
    ASSERT_GT(size, 0);
    const std::vector<char> chunk(static_cast<char*>(data), static_cast<char*>(data) + size);

    PluginHost b(kBundle);
    ASSERT_EQ(b.dispatch(effSetChunk, 0, size, const_cast<char*>(chunk.data())), 1);
    EXPECT_EQ(b.getParameter(kGain), 0.75f);
    EXPECT_EQ(b.getParameter(kTone), 0.5f);
    EXPECT_EQ(b.parameterDisplay(kPolarity), "Inverted");
    start(a);
    start(b);
    EXPECT_EQ(play(a, 8), play(b, 8));
    EXPECT_LT(play(b, 1)[0], -0.3f);

    // A chunk cut short is refused and changes nothing.
    PluginHost c(kBundle);
    EXPECT_EQ(c.dispatch(effSetChunk, 0, size - 1, const_cast<char*>(chunk.data())), 0);
    EXPECT_EQ(c.getParameter(kGain), 0.5f);
}

TEST(Vst3Bridge, AChangeWhileProcessingTakesEffectAtTheStartOfTheNextBlock) {
    PluginHost p(kBundle);
    start(p);
    EXPECT_EQ(play(p, 1)[0], 0.25f);
    p.setParameter(kGain, 1.0f);
    std::vector<float> in(64, 0.25f), l(64), r(64);
    float* ins[] = {in.data(), in.data()};
    float* outs[] = {l.data(), r.data()};
    p.process(ins, outs, 64);
    EXPECT_EQ(l.front(), 0.5f);
    EXPECT_EQ(r.front(), 0.5f);
    EXPECT_EQ(p.getParameter(kGain), 1.0f);
}

TEST(Vst3Bridge, TextsGoThroughTheControllerBothWays) {
    PluginHost p(kBundle);
    EXPECT_EQ(p.parameterName(kGain), "Gain");
    EXPECT_EQ(p.parameterLabel(kGain), "dB");
    EXPECT_EQ(p.parameterDisplay(kGain), "0.00");
    char text[] = "6.0206";
    EXPECT_EQ(p.dispatch(effString2Parameter, kGain, 0, text), 1);
    EXPECT_NEAR(p.getParameter(kGain), 1.0f, 1e-6f);
    char inverted[] = "Inverted", bad[] = "Sideways";
    EXPECT_EQ(p.dispatch(effString2Parameter, kPolarity, 0, inverted), 1);
    EXPECT_EQ(p.getParameter(kPolarity), 1.0f);
    EXPECT_EQ(p.dispatch(effString2Parameter, kPolarity, 0, bad), 0);
    EXPECT_EQ(p.getParameter(kPolarity), 1.0f);
    EXPECT_EQ(p.programName(2), "Dark");
}

TEST(Vst3Bridge, TheViewIsSizedScaledIdledByTheRunLoopAndItsEditsReachHostAndProcessor) {
    PluginHost plain(kBundle);
    EXPECT_FALSE(plain.effect()->flags & effFlagsHasEditor);

    PluginHost p(std::string(FIXTURE_DIR) + "/vst3fixture_editor.vst3");
    ASSERT_TRUE(p.effect()->flags & effFlagsHasEditor);
    int asked = 0;
    p.state().setSizeWindowHandler([&asked](int width, int height) {
        asked = width * 1000 + height;
        return true;
    });
    // The window scale VST 2.4 hosts send ('PreS' 'AeCs') is the view's content scale.
    EXPECT_EQ(p.dispatch(effVendorSpecific, 0x50726553, 0x41654373, nullptr, 2.0f), 1);
    ERect* rect = nullptr;
    ASSERT_EQ(p.dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, 600);
    EXPECT_EQ(rect->bottom - rect->top, 400);
    EXPECT_EQ(p.dispatch(effEditOpen, 0, 0, nullptr), 0) << "opened without a parent";
    EXPECT_EQ(p.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x1234)), 1);
    EXPECT_EQ(asked, 400250);
    ASSERT_EQ(p.dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, 400);
    EXPECT_EQ(p.vst3Bridge()->runLoopRegistrations(), 2);

    start(p);
    p.state().clearCalls();
    p.dispatch(effEditIdle); // the first tick edits Gain
    std::vector<VstInt32> seen;
    for (const auto& c : p.state().calls()) {
        if (c.opcode == audioMasterBeginEdit || c.opcode == audioMasterAutomate ||
            c.opcode == audioMasterEndEdit) {
            seen.push_back(c.opcode);
            EXPECT_EQ(c.index, kGain);
        }
    }
    EXPECT_EQ(seen, (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate,
                                           audioMasterEndEdit}));
    EXPECT_EQ(play(p, 1)[0], 0.125f);
    EXPECT_EQ(p.dispatch(effEditClose), 1);
    EXPECT_EQ(p.vst3Bridge()->runLoopRegistrations(), 0);
}

TEST(Vst3Bridge, ALatencyChangeRestartsAtTheNextIdle) {
    PluginHost p(std::string(FIXTURE_DIR) + "/vst3fixture_editor.vst3");
    start(p);
    EXPECT_EQ(p.effect()->initialDelay, 0);
    p.setParameter(kTone, 1.0f); // the controller asks for a restart
    play(p, 1);
    EXPECT_EQ(p.effect()->initialDelay, 0) << "restarted before the host's idle";
    p.state().clearCalls();
    p.dispatch(effIdle);
    EXPECT_EQ(p.effect()->initialDelay, 16);
    int changes = 0;
    for (const auto& c : p.state().calls()) {
        changes += c.opcode == audioMasterIOChanged;
    }
    EXPECT_EQ(changes, 1);
    EXPECT_NEAR(play(p, 4).back(), 0.25f, 1e-3f) << "no sound after the restart";
}

TEST(Vst3Bridge, TheHostApplicationNamesUsAndListsOnlyTheInterfacesWeUse) {
    using namespace Steinberg;
    Vst::IHostApplication* host = gravelix::host::vst3HostApplication();
    Vst::String128 name{};
    ASSERT_EQ(host->getName(name), kResultOk);
    EXPECT_EQ(gravelix::host::vst3Utf8(name, 128), "gravelix-host");
    void* object = nullptr;
    ASSERT_EQ(host->queryInterface(Vst::IPlugInterfaceSupport::iid, &object), kResultOk);
    auto* support = static_cast<Vst::IPlugInterfaceSupport*>(object);
    EXPECT_EQ(support->isPlugInterfaceSupported(Vst::IUnitInfo::iid), kResultTrue);
    EXPECT_EQ(support->isPlugInterfaceSupported(Vst::IProcessContextRequirements::iid),
              kResultTrue);
    EXPECT_NE(support->isPlugInterfaceSupported(Vst::IMidiMapping::iid), kResultTrue);
    support->release();
}

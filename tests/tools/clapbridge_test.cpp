// Guards against the CLAP bridge misrepresenting a CLAP plug-in as an effect record: values
// not normalised or stepped values not rounded, texts, programs or chunks lost, parameter
// changes missing the next block, the plug-in's edits not reaching the host's call log, a
// latency change never restarting, timers not run, host calls on the wrong thread, or an editor
// not sized, parented or heard asking for another size.
#include "tools/hosting/pluginhost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

using gravelix::host::LoadError;
using gravelix::host::PluginHost;

namespace {

const std::string kFixture = std::string(FIXTURE_DIR) + "/clapfixture.clap";
constexpr VstInt32 kGain = 0, kMode = 1, kLatency = 2, kFaults = 3, kTicks = 4;

void start(const PluginHost& p, VstInt32 block = 64) {
    p.setSampleRate(48000.0f);
    p.setBlockSize(block);
    p.resume();
}

// The first sample of each channel after one block of constant input.
std::vector<float> block(const PluginHost& p, float level, VstInt32 frames = 64) {
    std::vector<float> in(static_cast<std::size_t>(frames), level), l(in.size()), r(in.size());
    float* ins[] = {in.data(), in.data()};
    float* outs[] = {l.data(), r.data()};
    p.process(ins, outs, frames);
    return {l.back(), r.back()};
}

int countOf(const PluginHost& p, VstInt32 opcode) {
    int n = 0;
    for (const auto& c : p.state().calls()) {
        n += c.opcode == opcode;
    }
    return n;
}

} // namespace

TEST(ClapBridge, HostsTheFilesFirstPluginUnlessAnotherIsNamed) {
    PluginHost first(kFixture);
    EXPECT_EQ(first.effectName(), "Fixture Gain");
    EXPECT_EQ(first.vendorString(), "Gravelix Tests");
    EXPECT_EQ(first.vendorVersion(), 123);
    ASSERT_EQ(first.clapPlugins().size(), 2u);
    EXPECT_EQ(first.clapChosen(), 0);
    EXPECT_EQ(first.effect()->numInputs, 2);
    EXPECT_EQ(first.effect()->numOutputs, 2);

    PluginHost half(kFixture, "org.gravelix.tests.half");
    EXPECT_EQ(half.effectName(), "Fixture Half");
    EXPECT_EQ(half.clapChosen(), 1);
    EXPECT_NE(first.effect()->uniqueID, half.effect()->uniqueID);

    try {
        PluginHost none(kFixture, "org.gravelix.tests.none");
        FAIL() << "an unknown id loaded";
    } catch (const LoadError& e) {
        EXPECT_EQ(e.kind(), LoadError::Kind::UnknownPlugin);
        EXPECT_NE(std::string(e.what()).find("org.gravelix.tests.half"), std::string::npos);
    }
    try {
        PluginHost vst(std::string(FIXTURE_DIR) + "/hostfixture_good.so", "some.id");
        FAIL() << "an id was taken for a VST 2.4 library";
    } catch (const LoadError& e) {
        EXPECT_EQ(e.kind(), LoadError::Kind::UnknownPlugin);
    }
}

TEST(ClapBridge, ParametersAreNormalisedSteppedOnesRoundAndTextsComeFromThePlugin) {
    PluginHost p(kFixture);
    ASSERT_EQ(p.numParams(), 5);
    EXPECT_EQ(p.parameterName(kGain), "Gain");
    EXPECT_EQ(p.parameterName(kFaults), "Host Faults");
    EXPECT_FLOAT_EQ(p.getParameter(kGain), 0.5f); // 0 dB in -24..24
    EXPECT_EQ(p.parameterDisplay(kGain), "0.0 dB");

    p.setParameter(kGain, 0.75f);
    EXPECT_FLOAT_EQ(p.getParameter(kGain), 0.75f);
    EXPECT_EQ(p.parameterDisplay(kGain), "12.0 dB");
    EXPECT_EQ(p.parameterLabel(kGain), "");

    p.setParameter(kMode, 0.4f); // 1.2 of 0..3
    EXPECT_FLOAT_EQ(p.getParameter(kMode), 1.0f / 3.0f);
    EXPECT_EQ(p.parameterDisplay(kMode), "B");

    char text[] = "-12";
    EXPECT_EQ(p.dispatch(effString2Parameter, kGain, 0, text), 1);
    EXPECT_FLOAT_EQ(p.getParameter(kGain), 0.25f);
    EXPECT_EQ(p.dispatch(effCanBeAutomated, kGain), 1);
    EXPECT_EQ(p.dispatch(effCanBeAutomated, kFaults), 0);
    p.setParameter(kGain, std::nanf(""));
    EXPECT_FLOAT_EQ(p.getParameter(kGain), 0.0f);
}

TEST(ClapBridge, ProgramsAreTheDiscoveredPresetsOfThisPlugin) {
    PluginHost p(kFixture);
    ASSERT_EQ(p.numPrograms(), 3);
    EXPECT_EQ(p.programName(0), "Unity");
    EXPECT_EQ(p.programName(2), "Cut");
    EXPECT_EQ(p.findProgram("boost"), 1);
    p.setProgram(1);
    EXPECT_EQ(p.currentProgram(), 1);
    EXPECT_EQ(p.parameterDisplay(kGain), "6.0 dB");
    EXPECT_EQ(p.parameterDisplay(kMode), "B");

    PluginHost half(kFixture, "org.gravelix.tests.half");
    EXPECT_EQ(half.numPrograms(), 0);
}

TEST(ClapBridge, ChunksAreTheStateAndABadOneIsRefusedWithTheStateKept) {
    PluginHost p(kFixture);
    EXPECT_TRUE(p.effect()->flags & effFlagsProgramChunks);
    p.setParameter(kGain, 0.75f);
    void* data = nullptr;
    const VstIntPtr size = p.dispatch(effGetChunk, 0, 0, &data);
    ASSERT_EQ(size, 32);
    const std::vector<char> state(static_cast<char*>(data), static_cast<char*>(data) + size);

    p.setParameter(kGain, 0.25f);
    EXPECT_EQ(p.dispatch(effSetChunk, 0, size, const_cast<char*>(state.data())), 1);
    EXPECT_EQ(p.parameterDisplay(kGain), "12.0 dB");

    std::vector<char> cut(state.begin(), state.begin() + 20);
    EXPECT_EQ(p.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(cut.size()), cut.data()), 0);
    EXPECT_EQ(p.parameterDisplay(kGain), "12.0 dB");
}

TEST(ClapBridge, ChangesReachTheNextBlockAndLongBlocksGoThroughInParts) {
    PluginHost p(kFixture);
    start(p, 64);
    EXPECT_FLOAT_EQ(block(p, 0.5f)[0], 0.5f);
    p.setParameter(kGain, 0.75f);
    const float boosted = 0.5f * static_cast<float>(std::pow(10.0, 12.0 / 20.0));
    EXPECT_FLOAT_EQ(block(p, 0.5f)[1], boosted);
    EXPECT_FLOAT_EQ(block(p, 0.5f, 1000)[0], boosted); // more than the activated 64
    p.suspend();
    p.setParameter(kGain, 0.5f); // while inactive: through flush
    EXPECT_EQ(p.parameterDisplay(kGain), "0.0 dB");
    p.resume();
    EXPECT_FLOAT_EQ(block(p, 0.5f)[0], 0.5f);
    EXPECT_EQ(p.parameterDisplay(kFaults), "0");

    PluginHost half(kFixture, "org.gravelix.tests.half");
    start(half);
    EXPECT_FLOAT_EQ(block(half, 0.5f)[0], 0.25f);
}

TEST(ClapBridge, ThePluginsEditsReachTheHostCallbackInOrder) {
    PluginHost p(kFixture);
    start(p);
    p.setParameter(kGain, 1.0f);
    block(p, 0.5f);
    p.state().clearCalls();
    p.setParameter(kMode, 1.0f); // mode 3 hands Gain back to 0 dB as an edit
    block(p, 0.5f);
    std::vector<std::pair<VstInt32, VstInt32>> seen;
    float automated = -1.0f;
    for (const auto& c : p.state().calls()) {
        if (c.opcode == audioMasterBeginEdit || c.opcode == audioMasterAutomate ||
            c.opcode == audioMasterEndEdit) {
            seen.emplace_back(c.opcode, c.index);
            automated = c.opcode == audioMasterAutomate ? c.opt : automated;
        }
    }
    const std::vector<std::pair<VstInt32, VstInt32>> expected = {
        {audioMasterBeginEdit, kGain}, {audioMasterAutomate, kGain}, {audioMasterEndEdit, kGain}};
    EXPECT_EQ(seen, expected);
    EXPECT_FLOAT_EQ(automated, 0.5f);
    EXPECT_FLOAT_EQ(p.getParameter(kGain), 0.5f);
}

TEST(ClapBridge, ALatencyChangeRestartsAtIdleAndTimersRunThere) {
    PluginHost p(kFixture);
    start(p);
    EXPECT_EQ(p.effect()->initialDelay, 0);
    p.setParameter(kLatency, 0.5f); // 32 frames
    block(p, 0.5f);
    EXPECT_EQ(p.effect()->initialDelay, 0) << "restarted before the host's idle";
    p.dispatch(effIdle);
    EXPECT_EQ(p.effect()->initialDelay, 32);
    EXPECT_EQ(countOf(p, audioMasterIOChanged), 1);

    std::vector<float> in(64, 0.0f), l(64), r(64);
    in[0] = 1.0f;
    float* ins[] = {in.data(), in.data()};
    float* outs[] = {l.data(), r.data()};
    p.process(ins, outs, 64);
    EXPECT_EQ(l[32], 1.0f);
    EXPECT_EQ(l[0], 0.0f);

    const std::string ticks = p.parameterDisplay(kTicks);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    p.dispatch(effEditIdle);
    EXPECT_NE(p.parameterDisplay(kTicks), ticks);
    p.suspend();
    EXPECT_EQ(p.parameterDisplay(kFaults), "0");
}

TEST(ClapBridge, TheEditorIsSizedParentedAndItsResizeRequestReachesTheHost) {
    PluginHost plain(kFixture);
    EXPECT_FALSE(plain.effect()->flags & effFlagsHasEditor);

    PluginHost p(std::string(FIXTURE_DIR) + "/clapfixture_editor.clap");
    ASSERT_TRUE(p.effect()->flags & effFlagsHasEditor);
    int asked = 0;
    p.state().setSizeWindowHandler([&asked](int width, int height) {
        asked = width * 1000 + height;
        return true;
    });
    ERect* rect = nullptr;
    ASSERT_EQ(p.dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, 300);
    EXPECT_EQ(rect->bottom - rect->top, 200);
    EXPECT_EQ(p.dispatch(effEditOpen, 0, 0, nullptr), 0) << "opened without a parent";
    EXPECT_EQ(p.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x1234)), 1);
    EXPECT_EQ(asked, 400250);
    ASSERT_EQ(p.dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(p.dispatch(effEditClose), 1);
    EXPECT_EQ(countOf(p, audioMasterSizeWindow), 1);
}

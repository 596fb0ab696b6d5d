// Guards against the VST3 bridge misrepresenting a VST3 plug-in as an effect record: values set
// while suspended never reaching the processor, changes while processing missing the next
// block, texts not converted either way, or a chunk that does not bring back the sound and the
// controller's values.
#include "tools/hosting/pluginhost.h"

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

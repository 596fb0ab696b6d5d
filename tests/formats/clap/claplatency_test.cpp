// Guards against a CLAP host misaligning Gravelix HQ against other tracks: a latency other than
// the VST 2.4 plug-in reports at the same rate, or a change of rate whose new latency the host
// never hears of, or hears of at a time it may not (only during activate).
#include "clapinstance.h"
#include "pluginrunner.h"
#include "recordinghost.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class ClapLatency : public ::testing::Test {
protected:
    RecordingHost host;
    ClapLibrary gravelix{GRAVELIX_CLAP};
    ClapLibrary hq{GRAVELIX_HQ_CLAP};
    PluginLibrary vstHq{GRAVELIX_HQ_PLUGIN};

    void SetUp() override {
        ASSERT_TRUE(gravelix.loaded()) << gravelix.error();
        ASSERT_TRUE(hq.loaded()) << hq.error();
        ASSERT_TRUE(vstHq.loaded()) << vstHq.error();
    }
};

TEST_F(ClapLatency, TheVstPluginsLatencyAtEachRate) {
    for (const double rate : {44100.0, 48000.0, 96000.0}) {
        SCOPED_TRACE(rate);
        ClapInstance plain(gravelix);
        ASSERT_TRUE(plain.activate(rate));
        EXPECT_EQ(plain.latency(), 0u);
        EXPECT_EQ(plain.calls().latencyChanged, 0);

        Plugin vst(vstHq, static_cast<float>(rate));
        ClapInstance clap(hq);
        ASSERT_TRUE(vst.ok() && clap.activate(rate));
        EXPECT_GT(vst.effect->initialDelay, 0);
        EXPECT_EQ(clap.latency(), static_cast<std::uint32_t>(vst.effect->initialDelay));
        EXPECT_EQ(clap.calls().latencyChangedOutsideActivate, 0);
    }
}

// Each re-activation at a rate whose latency differs from the one the host last read announces
// it once, from inside activate; the same latency is never announced. (Gravelix HQ's resampling
// keeps its latency the same at every rate so far; the rule holds either way.)
TEST_F(ClapLatency, ANewLatencyIsAnnouncedOnlyWhileActivating) {
    for (ClapLibrary* library : {&gravelix, &hq}) {
        ClapInstance clap(*library);
        ASSERT_TRUE(clap.plugin());
        std::uint32_t known = clap.latency();
        int changes = 0;
        std::vector<float> in(256, 0.25f), outL(256), outR(256);
        for (const double rate : {44100.0, 96000.0, 96000.0, 22050.0, 48000.0, 192000.0, 44100.0}) {
            SCOPED_TRACE(rate);
            ASSERT_TRUE(clap.activate(rate));
            changes += clap.latency() != known;
            known = clap.latency();
            EXPECT_EQ(clap.calls().latencyChanged, changes);
            // Processing, automation and presets while active change nothing.
            clap.process(in.data(), in.data(), outL.data(), outR.data(), 256, {{0, 1, 0.4}});
            ASSERT_TRUE(clap.loadPreset("1"));
            clap.deactivate();
            EXPECT_EQ(clap.calls().latencyChanged, changes);
            EXPECT_EQ(clap.calls().latencyChangedOutsideActivate, 0);
        }
    }
}

} // namespace

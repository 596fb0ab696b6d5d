// Guards against the CLAP build of either pedal sounding different from its VST 2.4 build: the
// same program, settings and input rendered through both must give bit-identical float files.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstring>

using toolstest::runHost;

namespace {

struct Pair {
    const char* name;
    const char* vst;
    const char* clap;
};

class ClapIdentity : public testing::TestWithParam<Pair> {};

TEST_P(ClapIdentity, EveryProgramRendersBitIdenticalToTheVstBuild) {
    const Pair& pair = GetParam();
    toolstest::TempDir dir;
    const std::string riff = dir / "riff.wav";
    ASSERT_EQ(runHost("demo-riff " + riff + " --seconds 3").status, 0);
    for (const char* program : {"Vorn", "Hi-Gain", "TS", "Gritty"}) {
        for (const char* sets : {"", " --set Distortion=0.8 --set Output=0.3"}) {
            const std::string settings = std::string(" --program ") + program + sets;
            const std::string vst = dir / "vst.wav", clap = dir / "clap.wav";
            const auto a =
                runHost("render " + std::string(pair.vst) + " " + riff + " " + vst + settings);
            ASSERT_EQ(a.status, 0) << a.err;
            const auto b =
                runHost("render " + std::string(pair.clap) + " " + riff + " " + clap + settings);
            ASSERT_EQ(b.status, 0) << b.err;
            const auto va = toolstest::readAudio(vst), ca = toolstest::readAudio(clap);
            ASSERT_EQ(va.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
            ASSERT_EQ(va.samples.size(), ca.samples.size()) << settings;
            ASSERT_FALSE(va.samples.empty());
            EXPECT_EQ(std::memcmp(va.samples.data(), ca.samples.data(),
                                  va.samples.size() * sizeof(float)),
                      0)
                << pair.name << settings;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Pedals, ClapIdentity,
                         testing::Values(Pair{"Gravelix", GRAVELIX_PLUGIN, GRAVELIX_CLAP},
                                         Pair{"GravelixHQ", GRAVELIX_HQ_PLUGIN, GRAVELIX_HQ_CLAP}),
                         [](const testing::TestParamInfo<Pair>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

// Guards against gravelix-host commands that cannot take a CLAP file: info not listing the
// file's plug-ins or its descriptor, --plugin not choosing one, render not running it.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>

using toolstest::runHost;

namespace {

const std::string kFixture = std::string(FIXTURE_DIR) + "/clapfixture.clap";

} // namespace

TEST(ClapCommands, InfoListsThePluginsMarksTheChosenOneAndShowsItsDescriptor) {
    const auto r = runHost("info " + kFixture);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* expected :
         {"CLAP plug-ins (2):\n  * org.gravelix.tests.gain\n    org.gravelix.tests.half\n",
          "CLAP id:        org.gravelix.tests.gain\n", "CLAP name:      Fixture Gain\n",
          "CLAP vendor:    Gravelix Tests\n", "CLAP version:   1.2.3\n",
          "CLAP features:  audio-effect distortion stereo\n",
          "Parameters (5):", "Programs (3):", "0  Unity  (current)\n"}) {
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    }
    const auto half = runHost("info " + kFixture + " --plugin org.gravelix.tests.half");
    ASSERT_EQ(half.status, 0) << half.err;
    EXPECT_NE(half.out.find("    org.gravelix.tests.gain\n  * org.gravelix.tests.half\n"),
              std::string::npos)
        << half.out;
    EXPECT_NE(half.out.find("Name:           Fixture Half\n"), std::string::npos) << half.out;

    const auto none = runHost("info " + kFixture + " --plugin org.gravelix.tests.none");
    EXPECT_NE(none.status, 0);
    EXPECT_EQ(std::count(none.err.begin(), none.err.end(), '\n'), 1) << none.err;
}

TEST(ClapCommands, RenderRunsTheChosenPluginWithProgramAndSettings) {
    toolstest::TempDir dir;
    toolstest::writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000,
                          std::vector<float>(2 * 3000, 0.25f));
    const auto r = runHost("render " + kFixture + " " + (dir / "in.wav") + " " + (dir / "a.wav") +
                           " --program Boost --set Gain=0.75");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto a = toolstest::readAudio(dir / "a.wav");
    ASSERT_EQ(a.info.frames, 3000);
    const float boosted = 0.25f * static_cast<float>(std::pow(10.0, 12.0 / 20.0));
    EXPECT_FLOAT_EQ(a.samples[100], boosted);
    EXPECT_FLOAT_EQ(a.samples.back(), boosted);

    const auto h = runHost("render " + kFixture + " " + (dir / "in.wav") + " " + (dir / "h.wav") +
                           " --plugin org.gravelix.tests.half --set Gain=0.75");
    ASSERT_EQ(h.status, 0) << h.err;
    EXPECT_FLOAT_EQ(toolstest::readAudio(dir / "h.wav").samples[100], boosted * 0.5f);
}

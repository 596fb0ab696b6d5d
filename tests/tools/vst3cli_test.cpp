// Guards against gravelix-host commands that cannot take a VST3 module: info not listing its
// audio classes, --plugin not choosing one by name or class id, render not reaching the
// processor with the program and settings, and unclear errors for bundles that are not right.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

using toolstest::runHost;

namespace {

const std::string kBundle = std::string(FIXTURE_DIR) + "/vst3fixture.vst3";
constexpr const char* kHalfCid = "6A1C000147A24E119D3F2B100000A002";

int lines(const std::string& s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
}

} // namespace

TEST(Vst3Commands, InfoListsTheClassesMarksTheChosenOneAndShowsItsDescription) {
    const auto r = runHost("info " + kBundle);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* expected :
         {"VST3 audio classes (2):\n  * 6A1C000147A24E119D3F2B100000A001  Fixture Gain\n"
          "    6A1C000147A24E119D3F2B100000A002  Fixture Half\n",
          "VST3 name:      Fixture Gain\n", "VST3 vendor:    Gravelix Tests\n",
          "VST3 version:   1.2.3\n", "VST3 category:  Fx|Distortion\n",
          "Parameters (3):", "Gain               dB     0.00", "Polarity                  Normal",
          "Programs (3):", "0  Unity  (current)\n", "2  Dark\n"}) {
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    }
    for (const std::string& pick : {std::string("\"Fixture Half\""), std::string(kHalfCid)}) {
        const auto half = runHost("info " + kBundle + " --plugin " + pick);
        ASSERT_EQ(half.status, 0) << half.err;
        EXPECT_NE(half.out.find("Name:           Fixture Half\n"), std::string::npos) << half.out;
    }
    const auto none = runHost("info " + kBundle + " --plugin Nothing");
    EXPECT_NE(none.status, 0);
    EXPECT_EQ(lines(none.err), 1) << none.err;
    EXPECT_NE(none.err.find("Fixture Gain (6A1C"), std::string::npos) << none.err;
}

TEST(Vst3Commands, RenderRunsTheChosenClassWithProgramAndSettings) {
    toolstest::TempDir dir;
    toolstest::writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000,
                          std::vector<float>(2 * 3000, 0.25f));
    const auto r = runHost("render " + kBundle + " " + (dir / "in.wav") + " " + (dir / "a.wav") +
                           " --program Boost --set Gain=0.75");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto a = toolstest::readAudio(dir / "a.wav");
    ASSERT_EQ(a.info.frames, 3000);
    EXPECT_EQ(a.samples[0], 0.375f);
    EXPECT_EQ(a.samples.back(), 0.375f);

    const auto h = runHost("render " + kBundle + " " + (dir / "in.wav") + " " + (dir / "h.wav") +
                           " --plugin \"Fixture Half\" --set Gain=0.75 --set Polarity=1");
    ASSERT_EQ(h.status, 0) << h.err;
    EXPECT_EQ(toolstest::readAudio(dir / "h.wav").samples[100], -0.1875f);

    // The program's low-pass from silence: y[n] = 0.25 (1 - 0.9^(n+1)) at unity gain.
    const auto d = runHost("render " + kBundle + " " + (dir / "in.wav") + " " + (dir / "d.wav") +
                           " --program Dark");
    ASSERT_EQ(d.status, 0) << d.err;
    const auto dark = toolstest::readAudio(dir / "d.wav");
    for (int n : {0, 1, 10, 100}) {
        const double expected = 0.25 * (1.0 - std::pow(0.9, n + 1));
        EXPECT_NEAR(dark.samples[2 * static_cast<std::size_t>(n)], expected, 1e-6) << n;
    }
}

TEST(Vst3Commands, BadBundlesGiveOneLineNamingWhatIsWrong) {
    toolstest::TempDir dir;
    std::filesystem::create_directories(dir / "Empty.vst3");
    std::filesystem::create_directories(dir / "Text.vst3");
    std::ofstream(dir / "Text.vst3/readme") << "not a module\n";
    std::ofstream(dir / "Loose.vst3") << "not a library\n";
    std::filesystem::create_directories(dir / ("Vst2.vst3/Contents/" + std::string(VST3_ARCH)));
    std::filesystem::copy_file(std::string(FIXTURE_DIR) + "/hostfixture_good.so",
                               dir / ("Vst2.vst3/Contents/" + std::string(VST3_ARCH) + "/Vst2.so"));
    const struct {
        std::string path, expected;
    } cases[] = {
        {dir / "Missing.vst3", "no such file"},
        {dir / "Empty.vst3", "the bundle has no Contents/" + std::string(VST3_ARCH) + "/Empty.so"},
        {dir / "Loose.vst3", "as a shared library"},
        {dir / "Vst2.vst3", "exports no GetPluginFactory"},
    };
    for (const auto& c : cases) {
        const auto r = runHost("info " + c.path);
        EXPECT_NE(r.status, 0) << c.path;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << c.path << ": " << r.err;
    }
    // The binary inside a bundle is the module too.
    const auto inner =
        runHost("info " + kBundle + "/Contents/" + std::string(VST3_ARCH) + "/vst3fixture.so");
    EXPECT_EQ(inner.status, 0) << inner.err;
    EXPECT_NE(inner.out.find("VST3 audio classes (2)"), std::string::npos) << inner.out;
}

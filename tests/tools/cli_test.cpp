// Guards against gravelix-host printing wrong or incomplete plug-in details, reporting a
// failure as success, and a demo riff that changes from run to run.
#include "gravelixversion.h"
#include "testsupport.h"
#include "tools/hosting/riff.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

using toolstest::runHost;

namespace {

std::string fixture(const std::string& name) {
    return std::string(FIXTURE_DIR) + "/hostfixture_" + name + ".so";
}

int countLines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

} // namespace

TEST(InfoCommand, EveryLoadFailureExitsNonZeroWithOneLineOnStderr) {
    toolstest::TempDir dir;
    std::ofstream(dir / "text.so") << "hello";
    for (const std::string& path : {dir / "absent.so", dir / "text.so", fixture("no_entry"),
                                    fixture("null"), fixture("bad_magic")}) {
        const auto r = runHost("info " + path);
        EXPECT_NE(r.status, 0) << path;
        EXPECT_EQ(countLines(r.err), 1) << r.err;
        EXPECT_EQ(r.err.rfind("gravelix-host: ", 0), 0u) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

TEST(InfoCommand, PrintsIdentityParametersAndProgramsOfAnyPlugin) {
    const auto r = runHost("info " + fixture("main_only"));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* expected :
         {"Name:           Fixture\n", "Vendor:         Tests\n",
          "Product:        Fixture Product\n", "Vendor version: 7\n",
          "1181317236 (0x46697874, 'Fixt')", "Flags:          0x10 (CanReplacing)",
          "0  Gain               x      0.50         0.5\n", "1  Mix", "0  First  (current)\n",
          "1  Second\n"}) {
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    }
}

#ifdef GRAVELIX_PLUGIN
TEST(InfoCommand, ShowsTheRealPluginsIdentityTenParametersAndFourPrograms) {
    const auto r = runHost(std::string("info ") + GRAVELIX_PLUGIN);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* expected :
         {"Name:           Gravelix x64\n", "Vendor:         Keldwyn\n", "Vendor version: 140\n",
          "1198683768 (0x47727678, 'Grvx')", "Inputs:         2\n", "Outputs:        2\n",
          "Parameters (10):", "Opamp Clipping", "Diode Clipping", "Stereo                    Mono",
          "Programs (4):", "0  Vorn  (current)\n", "1  Hi-Gain\n", "2  TS\n", "3  Gritty\n"}) {
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    }
}
#endif

TEST(CommandLine, NamesAMistypedCommandAndFailsButKeepsHelpAndVersion) {
    auto r = runHost("plya " + fixture("good"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Unknown command 'plya'"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    r = runHost("rendr");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("Did you mean 'render'?"), std::string::npos) << r.err;
    // Nothing near enough: no suggestion, but the commands there are.
    r = runHost("xyzzy");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.err.find("Did you mean"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("info, render"), std::string::npos) << r.err;

    r = runHost("--help rendr");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Subcommands:"), std::string::npos) << r.out;
    r = runHost("--version");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "gravelix-host " GRAVELIX_VERSION "\n");
}

TEST(Riff, IsTheSameEveryTimeAndLooksLikeMusic) {
    const auto a = gravelix::host::makeRiff(2.0, 22050);
    const auto b = gravelix::host::makeRiff(2.0, 22050);
    ASSERT_EQ(a.size(), 44100u);
    EXPECT_EQ(a, b);
    float peak = 0.0f;
    double energyFirst = 0.0, energyLast = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_TRUE(std::isfinite(a[i]));
        peak = std::max(peak, std::fabs(a[i]));
        (i < a.size() / 2 ? energyFirst : energyLast) += double(a[i]) * a[i];
    }
    EXPECT_FLOAT_EQ(peak, 0.5f);
    // Notes keep coming: neither half is silent.
    EXPECT_GT(energyFirst, 1.0);
    EXPECT_GT(energyLast, 1.0);
    // The last samples fade out rather than stop mid-note.
    EXPECT_EQ(a.back(), 0.0f);
}

TEST(Riff, CommandWritesIdenticalMonoWavFilesAndRefusesBadArguments) {
    toolstest::TempDir dir;
    ASSERT_EQ(runHost("demo-riff " + (dir / "a.wav") + " --seconds 1.5 --rate 32000").status, 0);
    ASSERT_EQ(runHost("riff " + (dir / "b.wav") + " --seconds 1.5 --rate 32000").status, 0);
    EXPECT_EQ(toolstest::readFile(dir / "a.wav"), toolstest::readFile(dir / "b.wav"));
    const auto audio = toolstest::readAudio(dir / "a.wav");
    EXPECT_EQ(audio.info.channels, 1);
    EXPECT_EQ(audio.info.samplerate, 32000);
    EXPECT_EQ(audio.info.frames, 48000);
    EXPECT_EQ(audio.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_NE(runHost("riff " + (dir / "c.wav") + " --seconds 0").status, 0);
    EXPECT_NE(runHost("riff " + (dir / "c.wav") + " --rate 100").status, 0);
    EXPECT_NE(runHost("riff " + (dir / "no/such/dir.wav")).status, 0);
}

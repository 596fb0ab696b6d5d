// Guards against render and bench telling a plug-in the wrong tempo, time or process level,
// so that tempo-synced effects land somewhere the user did not ask for.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const std::string kClock = std::string(FIXTURE_DIR) + "/hostfixture_clock.so";

// A mono impulse at `at`, then silence, `frames` long.
void writeImpulse(const std::string& path, int rate, long long frames, long long at) {
    std::vector<float> s(static_cast<std::size_t>(frames), 0.0f);
    s[static_cast<std::size_t>(at)] = 0.5f;
    toolstest::writeAudio(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, rate, s);
}

// Frames of every non-zero sample of the left channel.
std::vector<long long> hits(const toolstest::Audio& a) {
    std::vector<long long> at;
    for (std::size_t i = 0; i < a.samples.size(); i += 2) {
        if (a.samples[i] != 0.0f) {
            at.push_back(static_cast<long long>(i / 2));
        }
    }
    return at;
}

struct Case {
    int rate;
    const char* options;
    long long beat; // frames: 60 / tempo * rate
};

TEST(RenderTimeInfo, ABeatDelayLandsWhereTheTempoPutsItWithOddBlocksAndNoJump) {
    toolstest::TempDir dir;
    const long long impulse = 1000;
    for (const Case& c : {Case{48000, "--tempo 90 --block 333", 32000},
                          Case{48000, "", 24000}, // 120 BPM unless told
                          Case{44100, "--tempo 90 --block 1", 29400},
                          Case{44100, "--tempo 137.8125 --block 4093", 19200}}) {
        SCOPED_TRACE(c.options);
        const long long frames = impulse + c.beat + 4096;
        writeImpulse(dir / "in.wav", c.rate, frames, impulse);
        const auto r = toolstest::runHost("render " + kClock + " " + (dir / "in.wav") + " " +
                                          (dir / "out.wav") + " " + c.options);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(hits(toolstest::readAudio(dir / "out.wav")),
                  std::vector<long long>{impulse + c.beat});
        // Every block checked against the one before: no jump, exact positions, offline
        // inside process and while resuming, and time info offered.
        EXPECT_NE(r.out.find("jumps=0 faults=0 levels=16 resumelevel=4 cando=1 first=0 next=" +
                             std::to_string(frames) + " "),
                  std::string::npos)
            << r.out;
    }
}

TEST(RenderTimeInfo, TheTimeSignatureSetsTheBarsThePluginSees) {
    toolstest::TempDir dir;
    // 2.75 s at 120 BPM: 5.5 quarters, so the last block lies in the second bar of 3/4.
    writeImpulse(dir / "in.wav", 48000, 132000, 0);
    const auto r = toolstest::runHost("render " + kClock + " " + (dir / "in.wav") + " " +
                                      (dir / "out.wav") + " --time-signature 3/4 --block 1000");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("jumps=0 faults=0"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("bar=3 tempo=120 sig=3/4"), std::string::npos) << r.out;
}

TEST(RenderTimeInfo, BadTempoOrSignatureFailsInOneLineBeforeAnyOutput) {
    toolstest::TempDir dir;
    writeImpulse(dir / "in.wav", 48000, 100, 0);
    for (const char* bad : {"--tempo 0", "--tempo 1000", "--tempo nan", "--time-signature 4/3",
                            "--time-signature 4", "--time-signature 0/4"}) {
        SCOPED_TRACE(bad);
        const auto r = toolstest::runHost("render " + kClock + " " + (dir / "in.wav") + " " +
                                          (dir / "out.wav") + " " + bad);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.wav"));
    }
}

TEST(BenchTimeInfo, BenchRunsThePluginOfflineWithTheTransportPlaying) {
    const auto r = toolstest::runHost("bench " + kClock +
                                      " --seconds 0.1 --passes 2 --instances 1 --block 300 "
                                      "--tempo 100 --time-signature 7/8");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("jumps=0 faults=0 levels=16 resumelevel=4 cando=1 first=0 "),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("tempo=100 sig=7/8 minblock="), std::string::npos) << r.out;
}

} // namespace

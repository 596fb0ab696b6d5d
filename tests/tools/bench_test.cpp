// Guards against a bench command that reports a failure as success, measures fewer passes or
// instances than asked, or leaves a figure out.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using toolstest::runHost;

namespace {

std::string fixture(const std::string& name) {
    return std::string(FIXTURE_DIR) + "/hostfixture_" + name + ".so";
}

// The numbers on the output line that starts with `label`.
std::vector<double> numbersAfter(const std::string& out, const std::string& label) {
    const auto at = out.find("\n" + label);
    if (at == std::string::npos) {
        return {};
    }
    std::istringstream line(
        out.substr(at + 1 + label.size(), out.find('\n', at + 1) - at - 1 - label.size()));
    std::vector<double> numbers;
    std::string word;
    while (line >> word) {
        std::istringstream w(word);
        double v = 0.0;
        if (w >> v) {
            numbers.push_back(v);
        }
    }
    return numbers;
}

TEST(BenchCommand, MeasuresAnyPluginWithEveryPassAndInstance) {
    const auto r = runHost("bench " + fixture("good") +
                           " --seconds 0.05 --passes 3 --instances 2 --block 100 --set Gain=0.25");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_NE(r.out.find("Fixture (Tests)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("100-frame blocks, 44100 Hz, 3 passes of 0.05 s"), std::string::npos)
        << r.out;
    const auto passes = numbersAfter(r.out, "passes ns/frame");
    ASSERT_EQ(passes.size(), 3u) << r.out;
    const auto best = numbersAfter(r.out, "best ns/frame");
    ASSERT_FALSE(best.empty()) << r.out;
    EXPECT_EQ(best[0], *std::min_element(passes.begin(), passes.end()));
    EXPECT_FALSE(numbersAfter(r.out, "real-time factor").empty()) << r.out;
    EXPECT_FALSE(numbersAfter(r.out, "first instance").empty()) << r.out;
    const auto later = numbersAfter(r.out, "later instances");
    ASSERT_FALSE(later.empty()) << r.out;
    EXPECT_EQ(later.back(), 2.0) << r.out;
}

TEST(BenchCommand, RefusesBadNumbersAndUnknownSettingsWithOneLine) {
    for (const char* args : {" --passes 0", " --block 0", " --seconds 0", " --instances 0",
                             " --set Nope=0.5", " --program 9", " --seconds nan"}) {
        const auto r = runHost("bench " + fixture("good") + args);
        EXPECT_NE(r.status, 0) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << args << ": " << r.out;
    }
    const auto r = runHost("bench " + fixture("null"));
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.out.empty()) << r.out;
}

#ifdef GRAVELIX_PLUGIN
TEST(BenchCommand, RunsTheRealPluginInStereoWithAProgram) {
    const auto r = runHost(std::string("bench ") + GRAVELIX_PLUGIN +
                           " --program Hi-Gain --set stereo=1 --seconds 0.05 --passes 2"
                           " --instances 1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Gravelix x64 (Keldwyn)"), std::string::npos) << r.out;
    EXPECT_EQ(numbersAfter(r.out, "passes ns/frame").size(), 2u) << r.out;
}
#endif

} // namespace

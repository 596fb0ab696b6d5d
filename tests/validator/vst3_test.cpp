// Guards against a validator that lets a VST3 plug-in break the rules hosts depend on: each
// fixture fault must fail its matching vst3 check, the well-behaved fixture must pass the vst3
// group and the format-neutral checks through the bridge, and other plug-ins get no vst3 group.
#include "tools/validator/validator.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace gravelix::validator;

namespace {

std::string fixture(const std::string& name) {
    return std::string(GRAVELIX_FIXTURE_DIR) + "/vst3fixture_" + name + ".vst3";
}

struct Case {
    const char* fixture;
    const char* check;
    const char* reasonPart;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.fixture << " -> " << c.check;
}

std::vector<CheckOutcome> run(const std::string& path, const std::string& only,
                              std::ostringstream& out) {
    ValidationOptions o;
    o.strictness = 10;
    o.only = only;
    o.checkTimeout = 30;
    o.editor = false;
    return validate(path, o, out);
}

class Vst3FaultCaught : public testing::TestWithParam<Case> {};

TEST_P(Vst3FaultCaught, MatchingCheckFails) {
    const Case& c = GetParam();
    std::ostringstream out;
    const auto results = run(fixture(c.fixture), c.check, out);
    ASSERT_EQ(results.size(), 1u) << out.str();
    EXPECT_EQ(results[0].status, Status::Fail) << out.str();
    EXPECT_NE(results[0].reason.find(c.reasonPart), std::string::npos) << out.str();
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, Vst3FaultCaught,
    testing::Values(Case{"flush_needs_audio", "vst3/parameter-flush", "did not take"},
                    Case{"controller_rewinds", "vst3/controller-state", "starting 16 bytes in"},
                    Case{"keeps_filter", "vst3/reactivation", "keeps what was played"},
                    Case{"takes_any_buses", "vst3/bus-arrangements", "accepted 5.1 in"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.fixture); });

TEST(Vst3Validation, TheGoodFixturePassesTheVst3GroupAndTheChecksThroughTheBridge) {
    std::ostringstream out;
    const auto results = run(fixture("good"), "", out);
    int vst3 = 0;
    for (const auto& r : results) {
        EXPECT_NE(r.status, Status::Fail) << r.name << ": " << r.reason << "\n" << out.str();
        vst3 += r.name.rfind("vst3/", 0) == 0;
    }
    EXPECT_EQ(vst3, 4) << out.str();
    EXPECT_GT(results.size(), 30u) << out.str();
}

TEST(Vst3Validation, AVstPluginGetsNoVst3Group) {
    std::ostringstream out;
    const auto results = run(std::string(GRAVELIX_FIXTURE_DIR) + "/fixture_good.so", "vst3/", out);
    EXPECT_TRUE(results.empty()) << out.str();
}

} // namespace

// Guards against a validator that lets a CLAP plug-in break the rules hosts depend on: each
// fixture fault must fail its matching clap check, the well-behaved fixture must pass the clap
// group and the format-neutral checks through the bridge, and VST 2.4 plug-ins get no clap group.
#include "tools/validator/validator.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace gravelix::validator;

namespace {

std::string fixture(const std::string& name) {
    return std::string(GRAVELIX_FIXTURE_DIR) + "/clapfixture_" + name + ".clap";
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

class ClapFaultCaught : public testing::TestWithParam<Case> {};

TEST_P(ClapFaultCaught, MatchingCheckFails) {
    const Case& c = GetParam();
    std::ostringstream out;
    const auto results = run(fixture(c.fixture), c.check, out);
    ASSERT_EQ(results.size(), 1u) << out.str();
    EXPECT_EQ(results[0].status, Status::Fail) << out.str();
    EXPECT_NE(results[0].reason.find(c.reasonPart), std::string::npos) << out.str();
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ClapFaultCaught,
    testing::Values(Case{"no_vendor", "clap/descriptor", "vendor"},
                    Case{"rescan_in_process", "clap/main-thread-calls", "params.rescan"},
                    Case{"flush_ignored", "clap/flush-while-inactive", "did not take"},
                    Case{"latency_while_active", "clap/latency-through-restart", "while active"},
                    Case{"state_drift", "clap/state-round-trip", "differs"},
                    Case{"state_accepts_short", "clap/state-bad-streams", "accepted"},
                    Case{"state_partial", "clap/state-bad-streams", "changed the state"},
                    Case{"state_ignores_version", "clap/state-bad-streams", "newer version"},
                    Case{"text_mismatch", "clap/text-round-trips", "reads back"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.fixture); });

TEST(ClapValidation, TheGoodFixturePassesTheClapGroupAndTheChecksThroughTheBridge) {
    std::ostringstream out;
    const auto results = run(fixture("good"), "", out);
    int clap = 0;
    for (const auto& r : results) {
        EXPECT_NE(r.status, Status::Fail) << r.name << ": " << r.reason << "\n" << out.str();
        clap += r.name.rfind("clap/", 0) == 0;
    }
    EXPECT_EQ(clap, 7) << out.str();
    EXPECT_GT(results.size(), 30u) << out.str();
}

TEST(ClapValidation, AVstPluginGetsNoClapGroup) {
    std::ostringstream out;
    const auto results = run(std::string(GRAVELIX_FIXTURE_DIR) + "/fixture_good.so", "clap/", out);
    EXPECT_TRUE(results.empty()) << out.str();
}

} // namespace

// Guards against a validator that lets an LV2 plug-in break the rules hosts depend on: each
// fixture fault must fail its matching lv2 check (and only the well-behaved fixture passes the
// whole group and the format-neutral checks through the bridge), and VST 2.4 plug-ins get no
// lv2 group.
#include "tools/validator/validator.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace gravelix::validator;

namespace {

struct Case {
    const char* plugin;
    const char* check;
    const char* reasonPart;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.plugin << " -> " << c.check;
}

std::vector<CheckOutcome> run(const std::string& path, const std::string& plugin,
                              const std::string& only, std::ostringstream& out,
                              int strictness = 10) {
    ValidationOptions o;
    o.strictness = strictness;
    o.only = only;
    o.checkTimeout = 30;
    o.editor = false;
    o.pluginId = plugin.empty() ? plugin : "urn:gravelix:tests:lv2:" + plugin;
    return validate(path, o, out);
}

class Lv2FaultCaught : public testing::TestWithParam<Case> {};

TEST_P(Lv2FaultCaught, OnlyTheMatchingCheckFails) {
    const Case& c = GetParam();
    std::ostringstream out;
    const auto results = run(GRAVELIX_LV2_FIXTURE, c.plugin, "lv2/", out);
    ASSERT_EQ(results.size(), 4u) << out.str();
    for (const CheckOutcome& r : results) {
        if (r.name == c.check) {
            EXPECT_EQ(r.status, Status::Fail) << out.str();
            EXPECT_NE(r.reason.find(c.reasonPart), std::string::npos) << out.str();
        } else {
            EXPECT_EQ(r.status, Status::Pass) << r.name << "\n" << out.str();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, Lv2FaultCaught,
    testing::Values(Case{"zero-frames", "lv2/run-zero-frames", "0 frames wrote"},
                    Case{"cached-ports", "lv2/connect-before-and-between-runs", "earlier run"},
                    Case{"no-reset", "lv2/activate-deactivate-cycles", "did not reset"},
                    Case{"controls-at-activate", "lv2/controls-between-blocks",
                         "only at activation"}),
    [](const testing::TestParamInfo<Case>& info) {
        std::string name = info.param.plugin;
        for (char& ch : name) {
            ch = ch == '-' ? '_' : ch;
        }
        return name;
    });

TEST(Lv2Checks, GoodFixturePassesTheLv2GroupAndTheFormatNeutralChecks) {
    std::ostringstream out;
    // The lowest strictness: the format-neutral checks' repetitions prove nothing more here.
    const auto results = run(GRAVELIX_LV2_FIXTURE, "good", "", out, 1);
    int lv2 = 0;
    for (const CheckOutcome& r : results) {
        EXPECT_NE(r.status, Status::Fail) << r.name << ": " << r.reason << "\n" << out.str();
        lv2 += r.name.rfind("lv2/", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(lv2, 4) << out.str();
}

TEST(Lv2Checks, VstPluginsGetNoLv2Group) {
    std::ostringstream out;
    EXPECT_TRUE(run(GRAVELIX_VST_FIXTURE, "", "lv2/", out).empty()) << out.str();
}

} // namespace

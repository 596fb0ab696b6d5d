// Guards against a validator that lets a broken plug-in through or fails a sound one: each
// fixture fault must fail its matching check, and the well-behaved fixture must pass them all.
#include "tools/validator/validator.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace gravelix::validator;

namespace {

std::string fixture(const std::string& name) {
    return std::string(GRAVELIX_FIXTURE_DIR) + "/fixture_" + name + ".so";
}

struct Case {
    const char* fixture;
    const char* check;
    const char* reasonPart; // expected in the failure reason, or ""
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.fixture << " -> " << c.check;
}

class FaultCaught : public testing::TestWithParam<Case> {};

TEST_P(FaultCaught, MatchingCheckFails) {
    const Case& c = GetParam();
    ValidationOptions o;
    o.strictness = 10;
    o.only = c.check;
    o.checkTimeout = 10;
    std::ostringstream out;
    const auto results = validate(fixture(c.fixture), o, out);
    ASSERT_EQ(results.size(), 1u) << out.str();
    if (results[0].status == Status::Skip) {
        GTEST_SKIP() << out.str();
    }
    EXPECT_EQ(results[0].status, Status::Fail) << out.str();
    EXPECT_NE(results[0].reason.find(c.reasonPart), std::string::npos) << out.str();
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FaultCaught,
    testing::Values(Case{"nan", "numerics/extreme-settings-and-signals", "NaN"},
                    Case{"nan", "block/sample-rates", "NaN"},
                    Case{"unstable_at_high_rates", "block/sample-rates", "384000 Hz"},
                    Case{"allocates", "realtime/no-allocation-in-process", "heap"},
                    Case{"leaves_ftz", "numerics/fp-state-preserved", "left as"},
                    Case{"locks", "realtime/no-locks-in-process", "lock"},
                    Case{"syscall", "realtime/no-syscalls-in-process", "system call"},
                    Case{"host_call", "realtime/no-host-calls-in-process", "host call"},
                    Case{"overrun", "block/block-sizes", "outside the block"},
                    Case{"no_flush", "numerics/silence-tail-no-subnormals", "subnormal"},
                    Case{"stuck_nan", "numerics/bad-input-samples", "NaN input"},
                    Case{"param_nan", "parameters/bad-values", "reads back"},
                    Case{"long_text", "parameters/texts-bounded", "more than 8"},
                    Case{"block_dependent", "block/sub-blocks", "sub-blocks"},
                    Case{"in_place_unsafe", "block/in-place", "in-place"},
                    Case{"writes_input", "block/inputs-untouched", "input"},
                    Case{"program_forgets", "parameters/program-switch-restores", "switching"},
                    Case{"crash_on_empty", "block/block-sizes", ""},
                    Case{"hang", "block/block-sizes", "did not finish"},
                    Case{"keeps_state", "quirks/resume-starts-a-fresh-stream", "leaks"}),
    [](const testing::TestParamInfo<Case>& info) {
        std::string n = std::string(info.param.fixture) + "_" + info.param.check;
        for (char& ch : n) {
            if (!std::isalnum(static_cast<unsigned char>(ch))) {
                ch = '_';
            }
        }
        return n;
    });

#if defined(__SANITIZE_ADDRESS__)
// Only a leak checker sees this one: the check itself passes, the process's exit does not.
TEST(Validator, LeakFailsTheCheckThatLeaked) {
    ValidationOptions o;
    o.only = "lifecycle/resume-suspend-destroy";
    std::ostringstream out;
    const auto results = validate(fixture("leaks"), o, out);
    ASSERT_EQ(results.size(), 1u) << out.str();
    EXPECT_EQ(results[0].status, Status::Fail) << out.str();
    EXPECT_NE(results[0].reason.find("afterwards exited"), std::string::npos) << out.str();
}
#endif

TEST(Validator, WellBehavedFixturePassesEveryCheck) {
    ValidationOptions o;
    o.strictness = 10;
    std::ostringstream out;
    const auto results = validate(fixture("good"), o, out);
    int passed = 0;
    for (const auto& r : results) {
        EXPECT_NE(r.status, Status::Fail) << r.name << ": " << r.reason << "\n" << out.str();
        passed += r.status == Status::Pass;
    }
    EXPECT_GE(passed, 20) << out.str();
    EXPECT_NE(out.str().find(std::to_string(passed) + " passed, 0 failed"), std::string::npos);
}

TEST(Validator, UnloadableFileFailsLoadAndSkipsTheRest) {
    ValidationOptions o;
    o.strictness = 1;
    std::ostringstream out;
    EXPECT_NE(runValidation("/nonexistent/plugin.so", o, out), 0);
    EXPECT_NE(out.str().find("FAIL"), std::string::npos);
    EXPECT_NE(out.str().find(" 1 failed"), std::string::npos) << out.str();
}

} // namespace

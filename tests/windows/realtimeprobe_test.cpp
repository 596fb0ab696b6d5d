// Guards against the Windows real-time probe missing what it claims to watch: a plug-in that
// allocates inside processReplacing must fail that check, a clean one pass it.
#include "tools/validator/validator.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using gravelix::validator::Status;

Status outcome(const std::string& fixture, const std::string& check) {
    gravelix::validator::ValidationOptions options;
    options.only = check;
    options.editor = false;
    std::ostringstream out;
    const auto results = gravelix::validator::validate(
        std::string(GRAVELIX_FIXTURE_DIR) + "/" + fixture + ".dll", options, out);
    EXPECT_EQ(results.size(), 1u) << out.str();
    return results.empty() ? Status::Skip : results[0].status;
}

TEST(RealtimeProbe, SeesHeapCallsInsideProcess) {
    EXPECT_EQ(outcome("fixture_good", "realtime/no-allocation"), Status::Pass);
    EXPECT_EQ(outcome("fixture_allocates", "realtime/no-allocation"), Status::Fail);
}

} // namespace

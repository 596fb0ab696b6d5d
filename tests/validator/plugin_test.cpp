// Guards against the plug-in regressing on anything the validator checks: crashes, NaN,
// real-time rule breaks, unbounded texts, editor gesture faults.
#include "tools/validator/validator.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace gravelix::validator;

TEST(PluginValidation, PassesEveryCheck) {
    ValidationOptions o;
    o.strictness = 5;
    std::ostringstream out;
    const auto results = validate(GRAVELIX_PLUGIN, o, out);
    for (const auto& r : results) {
        EXPECT_NE(r.status, Status::Fail) << r.name << ": " << r.reason;
    }
    EXPECT_FALSE(results.empty());
    std::cout << out.str();
}

// Guards against either plug-in (Gravelix, Gravelix HQ) regressing on anything the validator
// checks: crashes, NaN, real-time rule breaks, unbounded texts, editor gesture faults.
#include "tools/validator/validator.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace gravelix::validator;

namespace {

void passesEveryCheck(const char* plugin) {
    ValidationOptions o;
    o.strictness = 5;
    std::ostringstream out;
    const auto results = validate(plugin, o, out);
    for (const auto& r : results) {
        EXPECT_NE(r.status, Status::Fail) << r.name << ": " << r.reason;
    }
    EXPECT_FALSE(results.empty());
    std::cout << out.str();
}

} // namespace

TEST(PluginValidation, PassesEveryCheck) {
    passesEveryCheck(GRAVELIX_PLUGIN);
}

#ifdef GRAVELIX_HQ_PLUGIN
TEST(PluginValidation, HqPassesEveryCheck) {
    passesEveryCheck(GRAVELIX_HQ_PLUGIN);
}
#endif

// Guards against editor checks that miss what they claim: unbalanced edit gestures, host-side
// changes that never repaint, and a crash when the host's parent window is destroyed first.
#include "tools/validator/validator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace gravelix::validator;

namespace {

std::string fixture(const std::string& name) {
    return std::string(GRAVELIX_FIXTURE_DIR) + "/fixture_editor_" + name + ".so";
}

std::vector<CheckOutcome> run(const std::string& name, const std::string& only, std::string& log) {
    ValidationOptions o;
    o.strictness = 10;
    o.only = only;
    o.checkTimeout = 60;
    std::ostringstream out;
    auto results = validate(fixture(name), o, out);
    log = out.str();
    return results;
}

class EditorChecks : public testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "no X display";
        }
    }
};

TEST_F(EditorChecks, SoundEditorPassesThemAll) {
    std::string log;
    const auto results = run("good", "editor/", log);
    ASSERT_EQ(results.size(), 8u) << log;
    for (const auto& r : results) {
        EXPECT_EQ(r.status, Status::Pass) << r.name << ": " << r.reason << "\n" << log;
    }
}

TEST_F(EditorChecks, MissingEndEditIsCaught) {
    std::string log;
    const auto results = run("unbalanced", "controls-gestures", log);
    ASSERT_EQ(results.size(), 1u) << log;
    EXPECT_EQ(results[0].status, Status::Fail) << log;
    EXPECT_NE(results[0].reason.find("never ended"), std::string::npos) << log;
}

TEST_F(EditorChecks, HostChangeWithoutRepaintIsCaught) {
    std::string log;
    const auto results = run("stale", "host-change-repaints", log);
    ASSERT_EQ(results.size(), 1u) << log;
    EXPECT_EQ(results[0].status, Status::Fail) << log;
}

TEST_F(EditorChecks, DestroyingAGoneWindowIsCaught) {
    std::string log;
    const auto results = run("trusts_parent", "parent-destroyed", log);
    ASSERT_EQ(results.size(), 1u) << log;
    EXPECT_EQ(results[0].status, Status::Fail) << log;
}

} // namespace

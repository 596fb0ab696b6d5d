// Guards against editor checks that miss what they claim: unbalanced edit gestures, host-side
// changes that never repaint, a crash when the host's parent window is destroyed first, and
// editors that break under the habits of real hosts.
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
    for (const char* group : {"editor/", "quirks/"}) {
        std::string log;
        const auto results = run("good", group, log);
        ASSERT_GE(results.size(), 8u) << log;
        for (const auto& r : results) {
            EXPECT_EQ(r.status, Status::Pass) << r.name << ": " << r.reason << "\n" << log;
        }
    }
}

// Each broken fixture fails its check; the reason is checked where it names the fault.
TEST_F(EditorChecks, EachBrokenEditorFailsItsCheck) {
    const struct {
        const char* fixture;
        const char* check;
        const char* reasonPart;
    } cases[] = {{"unbalanced", "controls-gestures", "never ended"},
                 {"stale", "host-change-repaints", ""},
                 {"trusts_parent", "parent-destroyed", ""},
                 {"rect_changes", "quirks/edit-rect-stable", "asked for no new size"},
                 {"close_keeps_window", "quirks/close-with-editor-open", "outlived"},
                 {"creation_thread_only", "quirks/editor-on-another-thread", "refused"},
                 {"thread_local_display", "quirks/idle-from-another-thread", "signal"},
                 {"drops_stale_events", "quirks/no-idle-while-exposed", "not repainted"},
                 {"ignores_synthetic", "quirks/synthetic-events", "changed nothing"},
                 {"leaks_per_open", "quirks/open-close-200-no-growth", "open files grew"},
                 {"automate_under_lock", "quirks/parameters-inside-automate", "deadlock"},
                 {"automate_first", "quirks/parameters-inside-automate", "was lost"}};
    for (const auto& c : cases) {
        std::string log;
        const auto results = run(c.fixture, c.check, log);
        ASSERT_EQ(results.size(), 1u) << log;
        EXPECT_EQ(results[0].status, Status::Fail) << c.fixture << "\n" << log;
        EXPECT_NE(results[0].reason.find(c.reasonPart), std::string::npos) << log;
    }
}

} // namespace

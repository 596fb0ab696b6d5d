// Guards against a progress bar that clutters logs and pipes, flickers up for quick work,
// shows a wrong time left, or leaves the terminal's next line glued to it.
#include "testsupport.h"
#include "tools/hosting/progressbar.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

using gravelix::host::ProgressBar;
using namespace std::chrono_literals;

namespace {

// What a bar wrote, driven by a clock the test moves by hand.
class DrivenBar {
public:
    explicit DrivenBar(bool enabled, long long total) {
        file_ = open_memstream(&data_, &size_);
        bar_.emplace(file_, enabled, "rendering", total, [this] { return now_; });
    }
    ~DrivenBar() {
        bar_.reset();
        std::fclose(file_);
        std::free(data_);
    }
    void at(std::chrono::milliseconds t, long long done) {
        now_ = ProgressBar::Clock::time_point{} + t;
        bar_->update(done);
    }
    void end() { bar_.reset(); }
    std::string text() {
        std::fflush(file_);
        return std::string(data_, size_);
    }

private:
    ProgressBar::Clock::time_point now_{};
    std::FILE* file_ = nullptr;
    char* data_ = nullptr;
    std::size_t size_ = 0;
    std::optional<ProgressBar> bar_;
};

std::string fixture(const std::string& name) {
    return std::string(FIXTURE_DIR) + "/hostfixture_" + name + ".so";
}

} // namespace

TEST(ProgressBar, StaysQuietForWorkThatEndsWithinASecond) {
    DrivenBar quick(true, 100);
    for (int i = 1; i <= 100; ++i) {
        quick.at(i * 9ms, i);
    }
    EXPECT_EQ(quick.text(), "");
}

TEST(ProgressBar, ShowsTimeLeftAfterASecondAndEndsItsLine) {
    DrivenBar bar(true, 1000);
    bar.at(900ms, 100);
    EXPECT_EQ(bar.text(), "");
    // A quarter in one second: three seconds to go.
    bar.at(1000ms, 250);
    std::string text = bar.text();
    EXPECT_NE(text.find(" 25%"), std::string::npos) << text;
    EXPECT_NE(text.find("0:03 left"), std::string::npos) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos) << text;
    // 60 of 1000 left after 75 s: the estimate rounds to whole seconds and carries minutes.
    bar.at(75000ms, 940);
    text = bar.text();
    EXPECT_NE(text.find("0:05 left"), std::string::npos) << text;
    bar.at(80000ms, 1000);
    text = bar.text();
    EXPECT_NE(text.find("100%  took 1:20"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');

    // Cut short by an error: the error message must not continue the bar's line.
    DrivenBar failed(true, 1000);
    failed.at(2000ms, 100);
    failed.end();
    text = failed.text();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
}

TEST(ProgressBar, RenderDrawsItOnATerminalOnlyAndNeverIntoAPipe) {
    // 65 blocks at 20 ms each: long enough for the bar whatever the machine's load.
    toolstest::TempDir dir;
    toolstest::writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 48000,
                          toolstest::testSignal(65 * 480));
    const std::string args = "render " + fixture("slow") + " " + (dir / "in.wav") + " " +
                             (dir / "out.wav") + " --block 480";

    const auto piped = toolstest::runHost(args);
    ASSERT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.err, "");
    EXPECT_EQ(piped.out.find("rendering"), std::string::npos) << piped.out;

    // `script` gives the command a terminal and copies what it shows.
    const std::string shown = dir / "shown";
    const std::string cmd = "script -qefc '" + std::string(GRAVELIX_HOST_EXE) + " " + args +
                            "' /dev/null </dev/null >" + shown;
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const std::string text = toolstest::readFile(shown);
    EXPECT_NE(text.find(" left"), std::string::npos) << text;
    EXPECT_NE(text.find("100%  took 0:"), std::string::npos) << text;
}

// Guards against an editor host that shows the wrong size or panel, loses the editor's
// gestures, or leaves the editor open when its window is closed or the user presses Ctrl-C.
#include "testsupport.h"
#include "x11support.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <thread>
#include <unistd.h>

using toolstest::TempDir;

extern char** environ;

namespace {

std::string fixture(const std::string& name) {
    return std::string(FIXTURE_DIR) + "/hostfixture_" + name + ".so";
}

#define REQUIRE_DISPLAY()                                                                          \
    if (!toolstest::haveDisplay())                                                                 \
    GTEST_SKIP() << "no X display (run under scripts/with-display.sh)"

struct Png {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * width + x] & 0xFFFFFF; }
};

Png readPng(const std::string& path) {
    Png png;
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
        png.width = cairo_image_surface_get_width(s);
        png.height = cairo_image_surface_get_height(s);
        const int stride = cairo_image_surface_get_stride(s);
        const unsigned char* data = cairo_image_surface_get_data(s);
        for (int y = 0; y < png.height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
            png.pixels.insert(png.pixels.end(), row, row + png.width);
        }
    }
    cairo_surface_destroy(s);
    return png;
}

// gravelix-host running in the background with its output in a file.
class HostProcess {
public:
    HostProcess(const std::vector<std::string>& args, const std::string& outPath) {
        std::vector<char*> argv{const_cast<char*>(GRAVELIX_HOST_EXE)};
        for (const auto& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn(&pid_, GRAVELIX_HOST_EXE, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~HostProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    // The exit status, or -1 if it is still running after timeoutMs.
    int wait(int timeoutMs) {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = 0;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    void signal(int sig) { kill(pid_, sig); }

private:
    pid_t pid_ = 0;
};

} // namespace

TEST(Snapshot, SavesTheEditorAtItsSizeAndTheBackPanelAfterTheSwitchIsClicked) {
    REQUIRE_DISPLAY();
    TempDir dir;
    auto r = toolstest::runHost("snapshot " + fixture("editor") + " " + (dir / "front.png"));
    ASSERT_EQ(r.status, 0) << r.err;
    r = toolstest::runHost("snapshot " + fixture("editor") + " " + (dir / "back.png") + " --back");
    ASSERT_EQ(r.status, 0) << r.err;
    const Png front = readPng(dir / "front.png"), back = readPng(dir / "back.png");
    ASSERT_EQ(front.width, 270);
    ASSERT_EQ(front.height, 120);
    EXPECT_EQ(front.at(0, 0), 0xFF0000u);
    EXPECT_EQ(front.at(269, 119), 0xFF0000u);
    ASSERT_EQ(back.width, 270);
    EXPECT_EQ(back.at(0, 0), 0x0000FFu);
    EXPECT_EQ(back.at(269, 119), 0x0000FFu);
}

TEST(Snapshot, APluginWithoutEditorIsAnErrorNotAnEmptyPicture) {
    REQUIRE_DISPLAY();
    TempDir dir;
    const auto r = toolstest::runHost("snapshot " + fixture("good") + " " + (dir / "x.png"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("has no editor"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.png"));
}

TEST(Edit, PrintsGesturesAndClosesTheEditorOnCtrlCAndOnWindowClose) {
    REQUIRE_DISPLAY();
    TempDir dir;
    {
        HostProcess host({"edit", "-v", fixture("editor")}, dir / "ctrlc.txt");
        // Interrupt only once the editor is idling (its first idle sends a gesture).
        for (int i = 0;
             i < 200 && toolstest::readFile(dir / "ctrlc.txt").find("11 ?") == std::string::npos;
             ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        host.signal(SIGINT);
        EXPECT_EQ(host.wait(5000), 0);
    }
    const std::string printed = toolstest::readFile(dir / "ctrlc.txt");
    EXPECT_NE(printed.find("beginEdit   0 Gain\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("automate    0 Gain             0.250000\n"), std::string::npos)
        << printed;
    EXPECT_NE(printed.find("endEdit     0 Gain\n"), std::string::npos) << printed;
    EXPECT_NE(printed.find("automate   11 ?                1.000000\n"), std::string::npos)
        << printed;
    EXPECT_NE(printed.find("editor closed"), std::string::npos) << printed;

    HostProcess host({"edit", fixture("editor")}, dir / "close.txt");
    bool sent = false;
    for (int i = 0; i < 50 && !sent; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        sent = toolstest::closeWindowNamed("Fixture");
    }
    ASSERT_TRUE(sent);
    EXPECT_EQ(host.wait(5000), 0);
    const std::string quiet = toolstest::readFile(dir / "close.txt");
    EXPECT_EQ(quiet, "editor closed\n");
}

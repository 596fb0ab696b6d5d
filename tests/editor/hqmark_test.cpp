// Guards against Gravelix HQ's editor showing the plain pedal's panels, or the plain pedal
// showing the HQ mark: each plug-in must draw from its own resource table, at 1x and 2x.
#include "panelpicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace editortest;

const fs::path kResources = fs::path(GRAVELIX_SOURCE_DIR) / "editor" / "resources";

// The smallest rectangle holding every pixel in which the two pictures differ.
Rect differingArea(const Image& a, const Image& b) {
    Rect r{a.width, a.height, 0, 0};
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const std::size_t i = std::size_t(y) * a.width + x;
            if (a.pixels[i] != b.pixels[i]) {
                r = {std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1),
                     std::max(r.bottom, y + 1)};
            }
        }
    }
    return r;
}

// The editor draws its background from the window's top left corner; the back plate is a few
// pixels larger than the window and shows cut there.
Image topLeft(const Image& image, int width, int height) {
    Image out{width, height, std::vector<std::uint32_t>(std::size_t(width) * height)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            out.pixels[std::size_t(y) * width + x] = image.pixels[std::size_t(y) * image.width + x];
        }
    }
    return out;
}

Image snapshot(const std::string& plugin, const std::string& options, const std::string& name) {
    const fs::path out = fs::temp_directory_path() /
                         ("gravelix-hqmark-" + std::to_string(getpid()) + "-" + name + ".png");
    const std::string command = std::string("\"") + GRAVELIX_HOST_EXE + "\" snapshot \"" + plugin +
                                "\" \"" + out.string() + "\" " + options + " >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    Image image = loadImage(out);
    fs::remove(out);
    return image;
}

struct Side {
    const char* name;
    const char* options;
    const char* plainArt;
    const char* hqArt;
};

} // namespace

TEST(HqMark, OnlyTheHqEditorShowsTheMarkOnEitherPanelAtEitherScale) {
    if (!std::getenv("DISPLAY")) {
        GTEST_SKIP() << "no X display (run under scripts/with-display.sh)";
    }
    for (const Side& side :
         {Side{"front", "", "front_panel.png", "front_panel_hq.png"},
          Side{"back", "--back", "back_panel.png", "back_panel_hq.png"},
          Side{"front-2x", "--scale 2", "front_panel_2x.png", "front_panel_hq_2x.png"},
          Side{"back-2x", "--back --scale 2", "back_panel_2x.png", "back_panel_hq_2x.png"}}) {
        SCOPED_TRACE(side.name);
        const Image plain =
            snapshot(GRAVELIX_PLUGIN, side.options, std::string("plain-") + side.name);
        const Image hq = snapshot(GRAVELIX_HQ_PLUGIN, side.options, std::string("hq-") + side.name);
        ASSERT_GT(plain.width, 0);
        ASSERT_EQ(hq.width, plain.width);
        ASSERT_EQ(hq.height, plain.height);

        const Image plainFile = loadImage(kResources / side.plainArt);
        const Image hqFile = loadImage(kResources / side.hqArt);
        ASSERT_GE(plainFile.width, plain.width);
        ASSERT_GE(plainFile.height, plain.height);
        ASSERT_EQ(hqFile.width, plainFile.width);
        const Image plainArt = topLeft(plainFile, plain.width, plain.height);
        const Image hqArt = topLeft(hqFile, plain.width, plain.height);
        const Rect mark = differingArea(plainArt, hqArt);
        ASSERT_LT(mark.left, mark.right) << "the HQ panel shows no mark";
        // Each shows its own panel where the mark goes, no controls lie over it...
        EXPECT_EQ(countDifferent(hq, hqArt, mark, 2), 0);
        EXPECT_EQ(countDifferent(plain, plainArt, mark, 2), 0);
        if (HasFailure()) {
            saveForInspection(hq, std::string("hq-") + side.name + ".png");
            saveForInspection(plain, std::string("plain-") + side.name + ".png");
            return;
        }
        // ...and the mark is all that tells the two editors apart.
        EXPECT_GT(countDifferent(hq, plain, mark, 2), 0);
        EXPECT_EQ(countDifferent(hq, plain, 0), countDifferent(hq, plain, mark, 0));
    }
}

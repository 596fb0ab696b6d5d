// Guards against editor artwork that no longer fits the controls: wrong image sizes or
// counts, states swapped or indistinguishable, a knob pointer off its value's angle, committed
// PNGs that differ from what the generator draws, or Gravelix HQ's table drifting from the plain
// one anywhere but its marked panels.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const fs::path kResources = fs::path(GRAVELIX_SOURCE_DIR) / "editor" / "resources";

std::map<int, std::string> readResourceList(const char* list = "resources.list") {
    std::map<int, std::string> files;
    std::ifstream in(kResources / list);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        int id = 0;
        std::string type, file;
        fields >> id >> type >> file;
        EXPECT_EQ(type, "PNG") << line;
        files[id] = file;
    }
    return files;
}

std::vector<unsigned char> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Decoded image with straight (not premultiplied) channel access.
class Image {
public:
    explicit Image(const fs::path& path)
        : surface(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Image() { cairo_surface_destroy(surface); }
    bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    bool hasAlpha() const { return cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32; }
    int width() const { return cairo_image_surface_get_width(surface); }
    int height() const { return cairo_image_surface_get_height(surface); }
    std::uint32_t pixel(int x, int y) const {
        const unsigned char* row =
            cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const std::uint32_t*>(row)[x];
    }
    // Sum of absolute channel differences between two equally sized regions.
    double difference(int x0, int y0, int x1, int y1, int w, int h) const {
        double sum = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const std::uint32_t a = pixel(x0 + x, y0 + y), b = pixel(x1 + x, y1 + y);
                for (int s = 0; s < 32; s += 8) {
                    sum += std::abs(int((a >> s) & 0xff) - int((b >> s) & 0xff));
                }
            }
        }
        return sum;
    }

private:
    cairo_surface_t* surface;
};

fs::path resource(int id) {
    return kResources / readResourceList().at(id);
}

TEST(Artwork, NineRgbaImagesWithTheControlsSizes) {
    const std::map<int, std::pair<int, int>> sizes = {
        {1, {270, 475}}, {2, {80, 160}},      {3, {60, 48}},   {4, {119, 45 * 119}}, {5, {32, 64}},
        {6, {72, 50}},   {7, {32, 31 * 102}}, {8, {273, 476}}, {9, {60, 48}}};
    const auto files = readResourceList();
    ASSERT_EQ(files.size(), 18u); // nine images, each with its double-size variant
    for (const auto& [id, size] : sizes) {
        ASSERT_TRUE(files.count(id)) << "id " << id;
        const Image image(kResources / files.at(id));
        ASSERT_TRUE(image.ok()) << files.at(id);
        EXPECT_EQ(image.width(), size.first) << files.at(id);
        EXPECT_EQ(image.height(), size.second) << files.at(id);
        EXPECT_TRUE(image.hasAlpha()) << files.at(id) << " is not RGBA";
    }
}

// A variant that is not exactly twice its image, or that is the 1x image enlarged, would be
// drawn misplaced or blurred at 2x.
TEST(Artwork, EveryImageHasASharpDoubleSizeVariant) {
    const auto files = readResourceList();
    for (int id = 1; id <= 9; ++id) {
        ASSERT_TRUE(files.count(id + 100)) << "no variant for id " << id;
        const Image one(kResources / files.at(id));
        const Image two(kResources / files.at(id + 100));
        ASSERT_TRUE(one.ok() && two.ok()) << files.at(id + 100);
        EXPECT_TRUE(two.hasAlpha()) << files.at(id + 100);
        EXPECT_EQ(two.width(), 2 * one.width()) << files.at(id + 100);
        EXPECT_EQ(two.height(), 2 * one.height()) << files.at(id + 100);
        // Drawn, not enlarged: somewhere a 2 x 2 block of the variant is not one colour.
        int splitBlocks = 0;
        for (int y = 0; y + 1 < two.height() && splitBlocks == 0; y += 2) {
            for (int x = 0; x + 1 < two.width(); x += 2) {
                const std::uint32_t p = two.pixel(x, y);
                if (two.pixel(x + 1, y) != p || two.pixel(x, y + 1) != p ||
                    two.pixel(x + 1, y + 1) != p) {
                    ++splitBlocks;
                    break;
                }
            }
        }
        EXPECT_GT(splitBlocks, 0) << files.at(id + 100) << " looks like an enlarged 1x image";
    }
}

TEST(Artwork, KnobPointerSitsAtTheAngleOfEachImagesValue) {
    const Image knob(resource(4));
    ASSERT_TRUE(knob.ok());
    for (int frame = 0; frame < 45; ++frame) {
        // Centroid of the pointer's near-white pixels around the knob's centre.
        double sx = 0, sy = 0, n = 0;
        for (int y = 0; y < 119; ++y) {
            for (int x = 0; x < 119; ++x) {
                const std::uint32_t p = knob.pixel(x, frame * 119 + y);
                if ((p >> 24) == 255 && ((p >> 16) & 0xff) > 200 && ((p >> 8) & 0xff) > 200 &&
                    (p & 0xff) > 200) {
                    sx += x + 0.5 - 59.5;
                    sy += y + 0.5 - 59.5;
                    ++n;
                }
            }
        }
        ASSERT_GT(n, 20) << "no pointer in image " << frame;
        const double expected = 3 * std::numbers::pi / 4 + frame / 44.0 * 3 * std::numbers::pi / 2;
        double error = std::atan2(sy, sx) - expected;
        error = std::remainder(error, 2 * std::numbers::pi);
        EXPECT_LT(std::abs(error), 2.0 * std::numbers::pi / 180) << "image " << frame;
    }
}

TEST(Artwork, FaderHandleClimbsFromBottomToTop) {
    const Image fader(resource(7));
    ASSERT_TRUE(fader.ok());
    int previous = 1000;
    for (int frame = 0; frame < 31; ++frame) {
        // The handle's white index line crosses the fader's centre column.
        int line = -1;
        for (int y = 0; y < 102 && line < 0; ++y) {
            const std::uint32_t p = fader.pixel(10, frame * 102 + y);
            if (((p >> 16) & 0xff) > 220 && (p >> 24) == 255) {
                line = y;
            }
        }
        ASSERT_GE(line, 0) << "no handle in image " << frame;
        EXPECT_LT(line, previous) << "image " << frame;
        previous = line;
    }
    EXPECT_LT(previous, 20); // value 1 at the top
}

TEST(Artwork, TwoStateImagesShowDistinctStatesInTheShownArea) {
    struct TwoState {
        int id, shownWidth, stateHeight;
    };
    for (const TwoState& t : {TwoState{2, 80, 80}, TwoState{3, 50, 24}, TwoState{5, 32, 32},
                              TwoState{6, 72, 25}, TwoState{9, 50, 24}}) {
        const Image image(resource(t.id));
        ASSERT_TRUE(image.ok());
        const double diff = image.difference(0, 0, 0, t.stateHeight, t.shownWidth, t.stateHeight);
        // At least a tenth of the shown pixels visibly changed, on average.
        EXPECT_GT(diff, 0.1 * t.shownWidth * t.stateHeight * 40) << "id " << t.id;
    }
    // The lit LED (lower image) is the redder, brighter one.
    const Image led(resource(5));
    const std::uint32_t dark = led.pixel(16, 16), lit = led.pixel(16, 48);
    EXPECT_GT((lit >> 16) & 0xff, ((dark >> 16) & 0xff) + 80);
}

TEST(Artwork, GeneratorRedrawsTheCommittedImagesByteForByte) {
    const fs::path out =
        fs::temp_directory_path() / ("gravelix-artwork-" + std::to_string(getpid()));
    fs::create_directories(out);
    const std::string command =
        std::string("\"") + GRAVELIX_ARTWORK_TOOL + "\" \"" + out.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const char* list : {"resources.list", "resources_hq.list"}) {
        for (const auto& [id, file] : readResourceList(list)) {
            EXPECT_EQ(readBytes(out / file), readBytes(kResources / file))
                << file << " is stale: run scripts/artwork.sh";
        }
    }
    fs::remove_all(out);
}

// HQ's editor is the plain editor's code: the same ids, the same shared images, and panels
// that are the plain ones plus the mark, at both sizes.
TEST(Artwork, HqTableDiffersOnlyInItsMarkedPanels) {
    const auto plain = readResourceList();
    const auto hq = readResourceList("resources_hq.list");
    ASSERT_EQ(hq.size(), plain.size());
    for (const auto& [id, file] : plain) {
        ASSERT_TRUE(hq.count(id)) << "HQ has no id " << id;
        const bool panel = id % 100 == 1 || id % 100 == 8;
        if (!panel) {
            EXPECT_EQ(hq.at(id), file) << "id " << id;
            continue;
        }
        ASSERT_NE(hq.at(id), file) << "id " << id;
        const Image a(kResources / file), b(kResources / hq.at(id));
        ASSERT_TRUE(a.ok() && b.ok()) << hq.at(id);
        ASSERT_EQ(a.width(), b.width());
        ASSERT_EQ(a.height(), b.height());
        // The mark is small: a few hundred changed pixels at 1x, all in the lower fifth.
        int changed = 0, highest = a.height();
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                if (a.pixel(x, y) != b.pixel(x, y)) {
                    ++changed;
                    highest = std::min(highest, y);
                }
            }
        }
        const int scale = id > 100 ? 2 : 1;
        EXPECT_GT(changed, 150 * scale * scale) << hq.at(id);
        EXPECT_LT(changed, 1200 * scale * scale) << hq.at(id);
        EXPECT_GT(highest, a.height() * 4 / 5) << hq.at(id);
    }
}

} // namespace

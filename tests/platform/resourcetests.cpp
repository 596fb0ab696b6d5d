// Guards against images that get lost or altered between the resource list and a CBitmap.

#include "cairobitmap.h"
#include "cbitmap.h"
#include "pngdecoder.h"
#include "resourcetable.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

using namespace Toolkit;
using namespace Toolkit::LinuxPlatform;

namespace {

std::uint32_t pixelAt(cairo_surface_t* surface, int x, int y) {
    cairo_surface_flush(surface);
    const unsigned char* row =
        cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
    std::uint32_t pixel;
    std::memcpy(&pixel, row + 4 * x, 4);
    return pixel;
}

cairo_surface_t* surfaceOf(const CBitmap& bitmap) {
    return static_cast<CairoBitmap*>(bitmap.platformBitmap())->surface();
}

} // namespace

TEST(Resources, LookupMatchesTypeAndTheFullId) {
    const ResourceBytes strip = findResource("PNG", 1);
    ASSERT_TRUE(strip);
    EXPECT_EQ(0, std::memcmp(strip.data, "\x89PNG", 4));
    EXPECT_TRUE(findResource("PNG", 65535));
    EXPECT_TRUE(findResource("DATA", 7));
    EXPECT_FALSE(findResource("PNG", 7)) << "another type with the same id";
    EXPECT_FALSE(findResource("PNG", 8));
    EXPECT_FALSE(findResource("PNG", 0));
    EXPECT_FALSE(findResource("PNG", -1));
    EXPECT_FALSE(findResource("PNG", 65536 + 1)) << "ids must not wrap to 16 bits";
    EXPECT_FALSE(findResource(nullptr, 1));
}

TEST(Resources, BitmapByIdDecodesWithAlphaPremultiplied) {
    CBitmap strip{CResourceRef(1)};
    EXPECT_EQ(4.0, strip.width());
    EXPECT_EQ(12.0, strip.height());
    EXPECT_EQ(0xFF00FF00u, pixelAt(surfaceOf(strip), 0, 5)) << "second frame is green";

    CBitmap translucent{CResourceRef(3)};
    ASSERT_EQ(2.0, translucent.width());
    const std::uint32_t pixel = pixelAt(surfaceOf(translucent), 1, 1);
    EXPECT_NEAR(128, pixel >> 24, 1);
    EXPECT_NEAR(128, (pixel >> 16) & 0xFF, 1) << "red premultiplied by its alpha";

    CBitmap rgb{CResourceRef(4)};
    ASSERT_EQ(3.0, rgb.width());
    EXPECT_EQ(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_format(surfaceOf(rgb)));
    EXPECT_EQ(0xFF0000FFu, pixelAt(surfaceOf(rgb), 2, 1)) << "an image without alpha is opaque";
}

TEST(Resources, MissingOrBrokenImagesGiveAnEmptyBitmap) {
    for (CResourceRef ref : {CResourceRef(99), CResourceRef(5), CResourceRef(6), CResourceRef(7),
                             CResourceRef("filmstrip.png"), CResourceRef()}) {
        CBitmap bitmap{ref};
        EXPECT_EQ(nullptr, bitmap.platformBitmap());
        EXPECT_EQ(0.0, bitmap.width());
        EXPECT_EQ(0.0, bitmap.height());
    }
    EXPECT_EQ(nullptr, decodePng(nullptr, 0));
    const ResourceBytes strip = findResource("PNG", 1);
    for (std::uint32_t size : {1u, 8u, strip.size - 1})
        EXPECT_EQ(nullptr, decodePng(strip.data, size)) << size;
}

TEST(Resources, LoadingTwiceKeepsTheFirstImage) {
    auto* bitmap = new CairoBitmap();
    EXPECT_TRUE(bitmap->load(CResourceRef(1)));
    EXPECT_FALSE(bitmap->load(CResourceRef(2)));
    EXPECT_EQ(12.0, bitmap->size().y);
    bitmap->releaseReference();
}

namespace {

// Runs the generator on a list of the given text next to one valid image; answers its exit
// status and whether it wrote the output.
int generate(const std::string& list, bool& wroteOutput) {
    const auto dir =
        std::filesystem::temp_directory_path() /
        ("gravelix-embed-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + std::to_string(std::rand()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "a.png", std::ios::binary) << "\x89PNG data";
    std::ofstream(dir / "resources.list") << list;
    const auto output = dir / "table.cpp";
    const std::string command = std::string("\"") + GRAVELIX_EMBED_TOOL + "\" \"" +
                                (dir / "resources.list").string() + "\" \"" + output.string() +
                                "\" 2>/dev/null";
    const int status = std::system(command.c_str());
    wroteOutput = std::filesystem::exists(output);
    std::filesystem::remove_all(dir);
    return status;
}

} // namespace

TEST(ResourceGenerator, RejectsListsThatWouldEmbedTheWrongImages) {
    bool wrote = false;
    EXPECT_EQ(0, generate("# comment\n\n1 PNG a.png  # trailing\n2 PNG a.png\n", wrote));
    EXPECT_TRUE(wrote);
    for (const char* bad :
         {"1 PNG a.png\n1 PNG a.png\n", // duplicate id
          "0 PNG a.png\n", "65536 PNG a.png\n", "1x PNG a.png\n", "-3 PNG a.png\n", "1 png a.png\n",
          "1 PNG\n", "1 PNG a.png b\n", "1 PNG missing.png\n"}) {
        EXPECT_NE(0, generate(bad, wrote)) << bad;
        EXPECT_FALSE(wrote) << bad;
    }
}

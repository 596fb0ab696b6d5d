// Guards against images that get lost or altered between the resource list and a CBitmap.

#include "cairobitmap.h"
#include "cbitmap.h"
#include "pngdecoder.h"
#include "resourcetable.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace Toolkit;
using namespace Toolkit::LinuxPlatform;

namespace {
std::uint32_t pixelOf(const CBitmap& bitmap, int x, int y) {
    cairo_surface_t* s = static_cast<CairoBitmap*>(bitmap.platformBitmap())->surface();
    std::uint32_t pixel;
    std::memcpy(&pixel,
                cairo_image_surface_get_data(s) + y * cairo_image_surface_get_stride(s) + 4 * x, 4);
    return pixel;
}
} // namespace

TEST(Resources, LookupMatchesTypeAndTheFullId) {
    ASSERT_TRUE(findResource("PNG", 1));
    EXPECT_EQ(0, std::memcmp(findResource("PNG", 1).data, "\x89PNG", 4));
    EXPECT_TRUE(findResource("PNG", 65535));
    EXPECT_TRUE(findResource("DATA", 7));
    EXPECT_FALSE(findResource("PNG", 7)) << "same id, other type";
    for (int id : {8, 0, -1, 65536 + 1}) { // 65537 must not wrap to 1
        EXPECT_FALSE(findResource("PNG", id)) << id;
    }
    EXPECT_FALSE(findResource(nullptr, 1));
}

TEST(Resources, BitmapsDecodeToPremultipliedArgbOrStayEmpty) {
    CBitmap strip{CResourceRef(1)};
    EXPECT_EQ(CPoint(4, 12), CPoint(strip.width(), strip.height()));
    EXPECT_EQ(0xFF00FF00u, pixelOf(strip, 0, 5)) << "second frame green";
    CBitmap translucent{CResourceRef(3)};
    ASSERT_EQ(2.0, translucent.width());
    EXPECT_NEAR(0x80, pixelOf(translucent, 1, 1) >> 24, 1);
    EXPECT_NEAR(0x80, (pixelOf(translucent, 1, 1) >> 16) & 0xFF, 1) << "red times alpha";
    CBitmap rgb{CResourceRef(4)};
    ASSERT_EQ(3.0, rgb.width());
    EXPECT_EQ(0xFF0000FFu, pixelOf(rgb, 2, 1)) << "no alpha channel: opaque";

    // Missing id, junk, half a PNG, another type, a name, nothing.
    for (CResourceRef ref : {CResourceRef(99), CResourceRef(5), CResourceRef(6), CResourceRef(7),
                             CResourceRef("filmstrip.png"), CResourceRef()}) {
        CBitmap bitmap{ref};
        EXPECT_EQ(nullptr, bitmap.platformBitmap());
        EXPECT_EQ(0.0, bitmap.width() + bitmap.height());
    }
    const ResourceBytes bytes = findResource("PNG", 1);
    EXPECT_EQ(nullptr, decodePng(bytes.data, bytes.size - 1));
}

namespace {
// Status of the generator on a list of this text beside one image file; `wrote` tells whether
// it left an output behind.
int generate(const std::string& list, bool& wrote) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("gravelix-embed-" + std::to_string(rand()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "a.png") << "\x89PNG";
    std::filesystem::copy_file(GRAVELIX_TEST_FILMSTRIP, dir / "strip.png");
    std::ofstream(dir / "r.list") << list;
    const std::string command = std::string(GRAVELIX_EMBED_TOOL) + " " + (dir / "r.list").string() +
                                " " + (dir / "t.cpp").string() + " 2>/dev/null";
    const int status = std::system(command.c_str());
    wrote = std::filesystem::exists(dir / "t.cpp");
    std::filesystem::remove_all(dir);
    return status;
}
} // namespace

TEST(ResourceGenerator, RefusesListsThatWouldEmbedTheWrongImages) {
    bool wrote = false;
    EXPECT_EQ(0, generate("# comment\n\n1 PNG a.png  # note\n2 PNG a.png\n", wrote));
    EXPECT_TRUE(wrote);
    EXPECT_EQ(0, generate("1 PNG strip.png 3\n2 PNG strip.png 12 # one row each\n", wrote));
    EXPECT_TRUE(wrote);
    for (const char* bad :
         {"1 PNG a.png\n1 PNG a.png\n", "0 PNG a.png\n", "65536 PNG a.png\n", "1x PNG a.png\n",
          "1 png a.png\n", "1 PNG\n", "1 PNG a.png b\n", "1 PNG missing.png\n",
          // Slices: only of a PNG that decodes, of equal height, at least two.
          "1 PNG a.png 2\n", "1 DATA strip.png 3\n", "1 PNG strip.png 5\n", "1 PNG strip.png 1\n",
          "1 PNG strip.png 3 4\n", "1 PNG strip.png -3\n"}) {
        EXPECT_NE(0, generate(bad, wrote)) << bad;
        EXPECT_FALSE(wrote) << bad;
    }
}

// What both back-ends draw an image with a double-size variant from, and the checks of what they
// drew: a filmstrip of two 2 x 2 frames, red over blue, whose variant's 4 x 4 frames give every
// pixel its own shade of red (frame 0) or blue (frame 1).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace graphicstest {

// `colour(x, y)` for every pixel of a `width` x `height` image, row by row.
template <class Colour>
std::vector<std::uint32_t> pixelsOfColour(int width, int height, Colour colour) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            pixels.push_back(colour(x, y));
        }
    }
    return pixels;
}

// The 2 x 4 strip.
inline std::uint32_t stripColour(int, int y) {
    return y < 2 ? 0xFFFF0000u : 0xFF0000FFu;
}

// Its 4 x 8 variant.
inline std::uint32_t variantColour(int x, int y) {
    const std::uint32_t shade = 0x40u + std::uint32_t((y % 4) * 4 + x) * 8u;
    return y < 4 ? 0xFF000000u | shade << 16 : 0xFF000000u | shade;
}

// A 10 x 10 drawing of the strip's second frame into (1, 1)-(3, 3) at exactly 2x: the
// variant's second frame one for one, nothing around it.
inline void expectVariantCopiedAt2x(const std::vector<std::uint32_t>& drawn,
                                    const std::vector<std::uint32_t>& variant) {
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
            const std::uint32_t expected = inside ? variant[(y - 2 + 4) * 4 + (x - 2)] : 0u;
            EXPECT_EQ(drawn[y * 10 + x], expected) << "2x pixel (" << x << ", " << y << ")";
        }
    }
}

// An 8 x 8 drawing of the strip's first frame at (0, 0) at `scale`: red in every whole pixel
// inside the frame, no blue from the next frame.
inline void expectFirstFrameUnbled(const std::vector<std::uint32_t>& drawn, double scale) {
    const int covered = static_cast<int>(2 * scale); // whole pixels inside the frame
    for (int y = 0; y < covered; ++y) {
        for (int x = 0; x < covered; ++x) {
            const std::uint32_t p = drawn[y * 8 + x];
            EXPECT_EQ(p & 0xFF, 0u)
                << scale << "x: blue from the next frame at (" << x << ", " << y << ")";
            EXPECT_GT(p >> 16 & 0xFF, 0x30u) << scale << "x: (" << x << ", " << y << ")";
        }
    }
}

} // namespace graphicstest

// The pedal's panel as the X11 editor tests see it: its 1x size and control rectangles, the
// golden pictures, and pictures read from PNG files, compared and saved for inspection.
#pragma once

#include "tools/hosting/hostwindow.h"

#include <cairo.h>

#include <filesystem>
#include <memory>
#include <string>

namespace editortest {

using gravelix::host::Image;

inline const std::filesystem::path kGolden =
    std::filesystem::path(GRAVELIX_SOURCE_DIR) / "tests" / "editor" / "golden";
constexpr int kWidth = 270;
constexpr int kHeight = 475;

struct Rect {
    int left, top, right, bottom;
    double cx() const { return (left + right) / 2.0; }
    double cy() const { return (top + bottom) / 2.0; }
};
constexpr Rect kOutputKnob{16, 29, 135, 148};
constexpr Rect kDistortionKnob{133, 29, 252, 148};
constexpr Rect kFootswitch{97, 295, 177, 375};
constexpr Rect kTweak{198, 0, 270, 25};

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

Surface loadPng(const std::filesystem::path& path);
// Opaque pixels as 0x00RRGGBB; an empty image for a surface that failed to load.
Image toImage(cairo_surface_t* surface);
Image loadImage(const std::filesystem::path& path);

// Pixels in `area` (the whole of `a` without one) whose channels differ by more than
// `tolerance`; -1 for images of other sizes, an empty image or an area outside them.
int countDifferent(const Image& a, const Image& b, const Rect& area, int tolerance);
int countDifferent(const Image& a, const Image& b, int tolerance);

// Writes `image` as actual-`name` into the test's output folder, and says where.
void saveForInspection(const Image& image, const std::string& name);

} // namespace editortest

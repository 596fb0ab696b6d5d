// The typefaces of the artwork, loaded from fixed files of Debian's fonts-urw-base35
// package, never through the font configuration, so every machine draws the same glyphs.
#pragma once

#include <cairo.h>

#include <string>

namespace Artwork {

enum class Typeface {
    Label,      // NimbusSans-Bold: the printed control labels
    LabelLight, // NimbusSans-Regular: small legends on the back panel
    Product,    // URWGothic-Demi: the product name
    Maker,      // URWBookman-DemiItalic: the maker's logo
    Count
};

class Fonts {
public:
    // Throws std::runtime_error naming the missing file.
    Fonts();
    ~Fonts();
    Fonts(const Fonts&) = delete;
    Fonts& operator=(const Fonts&) = delete;

    cairo_font_face_t* face(Typeface typeface) const;

private:
    void release();

    struct Impl;
    Impl* impl;
};

std::string fontDirectory();

} // namespace Artwork

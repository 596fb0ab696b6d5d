#include "fonts.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <stdexcept>

namespace Artwork {

namespace {
constexpr std::array<const char*, static_cast<int>(Typeface::Count)> kFiles = {
    "NimbusSans-Bold.otf", "NimbusSans-Regular.otf", "URWGothic-Demi.otf",
    "URWBookman-DemiItalic.otf"};
const cairo_user_data_key_t kFaceKey{};
} // namespace

std::string fontDirectory() {
    return "/usr/share/fonts/opentype/urw-base35";
}

struct Fonts::Impl {
    FT_Library library = nullptr;
    std::array<cairo_font_face_t*, static_cast<int>(Typeface::Count)> faces{};
};

Fonts::Fonts() : impl(new Impl) {
    if (FT_Init_FreeType(&impl->library) != 0) {
        delete impl;
        throw std::runtime_error("cannot start FreeType");
    }
    const std::string dir = fontDirectory();
    for (std::size_t i = 0; i < kFiles.size(); ++i) {
        const std::string path = dir + "/" + kFiles[i];
        FT_Face ftFace = nullptr;
        if (FT_New_Face(impl->library, path.c_str(), 0, &ftFace) != 0) {
            release();
            throw std::runtime_error("cannot load font " + path +
                                     " (Debian package fonts-urw-base35)");
        }
        // Unhinted outlines: identical shapes at every size and on every FreeType build.
        cairo_font_face_t* face = cairo_ft_font_face_create_for_ft_face(ftFace, FT_LOAD_NO_HINTING);
        cairo_font_face_set_user_data(face, &kFaceKey, ftFace,
                                      [](void* p) { FT_Done_Face(static_cast<FT_Face>(p)); });
        impl->faces[i] = face;
    }
}

Fonts::~Fonts() {
    release();
}

void Fonts::release() {
    if (!impl) {
        return;
    }
    for (cairo_font_face_t*& face : impl->faces) {
        if (face) {
            cairo_font_face_destroy(face);
        }
        face = nullptr;
    }
    // Cairo may keep the faces cached; it releases them (and the FT faces) on its reset.
    cairo_debug_reset_static_data();
    if (impl->library) {
        FT_Done_FreeType(impl->library);
    }
    delete impl;
    impl = nullptr;
}

cairo_font_face_t* Fonts::face(Typeface typeface) const {
    return impl->faces[static_cast<std::size_t>(typeface)];
}

} // namespace Artwork

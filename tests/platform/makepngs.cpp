// Writes the small test images that the platform tests embed as resources.
// Usage: gravelix_make_test_pngs OUTPUT_DIR

#include <cairo.h>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Box {
    double x, y, w, h, r, g, b, a;
};

// An image of the given size made of solid boxes.
bool write(const std::string& path, int width, int height, std::vector<Box> boxes,
           cairo_format_t format = CAIRO_FORMAT_ARGB32) {
    cairo_surface_t* surface = cairo_image_surface_create(format, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    for (const Box& box : boxes) {
        cairo_set_source_rgba(cr, box.r, box.g, box.b, box.a);
        cairo_rectangle(cr, box.x, box.y, box.w, box.h);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const double grey = 0x80 / 255.0;
    bool ok = write(dir + "filmstrip.png", 4, 12, // frames red, green, blue
                    {{0, 0, 4, 4, 1, 0, 0, 1}, {0, 4, 4, 4, 0, 1, 0, 1}, {0, 8, 4, 4, 0, 0, 1, 1}});
    ok = write(dir + "white.png", 8, 8, {{0, 0, 8, 8, 1, 1, 1, 1}}) && ok;
    ok = write(dir + "translucent.png", 2, 2, {{0, 0, 2, 2, 1, 0, 0, 0.5}}) && ok;
    ok = write(dir + "rgb.png", 3, 2, {{0, 0, 3, 2, 0, 0, 1, 1}}, CAIRO_FORMAT_RGB24) && ok;
    ok = write(dir + "background.png", 120, 80, {{0, 0, 120, 80, grey, grey, grey, 1}}) && ok;
    ok = write(dir + "knob.png", 20, 60, // frames red, green, blue
               {{0, 0, 20, 20, 1, 0, 0, 1},
                {0, 20, 20, 20, 0, 1, 0, 1},
                {0, 40, 20, 20, 0, 0, 1, 1}}) &&
         ok;
    ok = write(dir + "switch.png", 20, 40, // off black, on white
               {{0, 0, 20, 20, 0, 0, 0, 1}, {0, 20, 20, 20, 1, 1, 1, 1}}) &&
         ok;

    // A PNG signature followed by junk, and a valid PNG cut in half.
    std::ofstream(dir + "corrupt.png", std::ios::binary) << "\x89PNG\r\n\x1a\n"
                                                         << std::string(64, 'x');
    std::ifstream whole(dir + "filmstrip.png", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(whole), {}};
    std::ofstream(dir + "truncated.png", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    return ok && !bytes.empty() ? 0 : 1;
}

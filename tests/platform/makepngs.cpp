// Writes the small test images that the platform tests embed as resources.
// Usage: gravelix_make_test_pngs OUTPUT_DIR

#include <cairo.h>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool save(cairo_surface_t* surface, const std::string& path) {
    cairo_surface_flush(surface);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

void fill(cairo_surface_t* surface, double x, double y, double w, double h, double r, double g,
          double b, double a) {
    cairo_t* cr = cairo_create(surface);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_rgba(cr, r, g, b, a);
    cairo_rectangle(cr, x, y, w, h);
    cairo_fill(cr);
    cairo_destroy(cr);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gravelix_make_test_pngs OUTPUT_DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = true;

    // A filmstrip of three 4 x 4 frames: red, green, blue, top to bottom.
    cairo_surface_t* strip = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 12);
    fill(strip, 0, 0, 4, 4, 1, 0, 0, 1);
    fill(strip, 0, 4, 4, 4, 0, 1, 0, 1);
    fill(strip, 0, 8, 4, 4, 0, 0, 1, 1);
    ok = save(strip, dir + "/filmstrip.png") && ok;

    // Opaque white, to read opacity straight off the alpha channel.
    cairo_surface_t* white = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 8, 8);
    fill(white, 0, 0, 8, 8, 1, 1, 1, 1);
    ok = save(white, dir + "/white.png") && ok;

    // Half-transparent red: alpha from the file must survive decoding.
    cairo_surface_t* translucent = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 2, 2);
    fill(translucent, 0, 0, 2, 2, 1, 0, 0, 0.5);
    ok = save(translucent, dir + "/translucent.png") && ok;

    // Written without an alpha channel (colour type RGB).
    cairo_surface_t* rgb = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 3, 2);
    fill(rgb, 0, 0, 3, 2, 0, 0, 1, 1);
    ok = save(rgb, dir + "/rgb.png") && ok;

    // For the frame tests: a grey background, a knob strip of three 20 x 20 frames (red,
    // green, blue) and a switch of two 20 x 20 frames (black off, white on).
    cairo_surface_t* background = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 120, 80);
    fill(background, 0, 0, 120, 80, 0x80 / 255.0, 0x80 / 255.0, 0x80 / 255.0, 1);
    ok = save(background, dir + "/background.png") && ok;
    cairo_surface_t* knob = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 60);
    fill(knob, 0, 0, 20, 20, 1, 0, 0, 1);
    fill(knob, 0, 20, 20, 20, 0, 1, 0, 1);
    fill(knob, 0, 40, 20, 20, 0, 0, 1, 1);
    ok = save(knob, dir + "/knob.png") && ok;
    cairo_surface_t* toggle = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 20, 40);
    fill(toggle, 0, 0, 20, 20, 0, 0, 0, 1);
    fill(toggle, 0, 20, 20, 20, 1, 1, 1, 1);
    ok = save(toggle, dir + "/switch.png") && ok;

    // A PNG signature followed by junk, and a valid PNG cut in half.
    {
        std::ofstream junk(dir + "/corrupt.png", std::ios::binary);
        junk << "\x89PNG\r\n\x1a\n" << std::string(64, 'x');
        std::ifstream whole(dir + "/filmstrip.png", std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(whole)),
                                std::istreambuf_iterator<char>());
        std::ofstream half(dir + "/truncated.png", std::ios::binary);
        half.write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
        ok = ok && junk && half && !bytes.empty();
    }
    return ok ? 0 : 1;
}

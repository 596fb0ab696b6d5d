#include "preview.h"

#include "layout.h"

namespace Artwork {

namespace {

// Draws image `index` of a vertical strip into `box`, as a filmstrip control does.
void place(cairo_t* cr, const Surface& strip, const Box& box, int index, int imageHeight) {
    cairo_save(cr);
    cairo_rectangle(cr, box.left, box.top, box.width(), box.height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, strip.get(), box.left, box.top - index * imageHeight);
    cairo_paint(cr);
    cairo_restore(cr);
}

void placeKnob(cairo_t* cr, const ImageSet& im, const Box& box, double value) {
    place(cr, im.knob, box, frameForValue(value, kKnobFrames), kKnobSize);
}

void placeFader(cairo_t* cr, const ImageSet& im, const Box& box, double value) {
    place(cr, im.fader, box, frameForValue(value, kFaderFrames), kFaderHeight);
}

struct FrontState {
    double output, distortion;
    bool pressed, lit;
};

Surface front(const ImageSet& im, const FrontState& st) {
    Surface s = newSurface(kPanelWidth, kPanelHeight);
    Context c = newContext(s);
    cairo_t* cr = c.get();
    cairo_set_source_surface(cr, im.front.get(), 0, 0);
    cairo_paint(cr);
    placeKnob(cr, im, kOutputKnob, st.output);
    placeKnob(cr, im, kDistortionKnob, st.distortion);
    place(cr, im.footswitch, kFootswitch, st.pressed ? 1 : 0, 80);
    place(cr, im.tweak, kTweakButton, 0, 25);
    place(cr, im.led, kEffectLed, st.lit ? 1 : 0, 32);
    return s;
}

Surface back(const ImageSet& im, const double (&faders)[5], bool stereo, bool pickup) {
    Surface s = newSurface(kPanelWidth, kPanelHeight);
    Context c = newContext(s);
    cairo_t* cr = c.get();
    cairo_set_source_surface(cr, im.back.get(), 0, 0);
    cairo_paint(cr);
    const Box boxes[5] = {kInputFader, kOpampFader, kDiodeFader, kHighCutFader, kLowCutFader};
    for (int i = 0; i < 5; ++i) {
        placeFader(cr, im, boxes[i], faders[i]);
    }
    place(cr, im.pickupSwitch, kPickupSwitch, pickup ? 1 : 0, kSwitchHeight);
    place(cr, im.stereoSwitch, kStereoSwitch, stereo ? 1 : 0, kSwitchHeight);
    place(cr, im.tweak, kTweakButton, 1, 25);
    return s;
}

// Several surfaces side by side, enlarged without smoothing so single pixels can be judged.
void sheet(const std::initializer_list<const Surface*> parts, int scale, const std::string& path) {
    int w = 0, h = 0;
    for (const Surface* p : parts) {
        w += cairo_image_surface_get_width(p->get()) + 4;
        h = std::max(h, cairo_image_surface_get_height(p->get()));
    }
    Surface s = newSurface(w * scale, h * scale);
    Context c = newContext(s);
    cairo_t* cr = c.get();
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.35);
    cairo_paint(cr);
    cairo_scale(cr, scale, scale);
    int x = 0;
    for (const Surface* p : parts) {
        cairo_set_source_surface(cr, p->get(), x, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_paint(cr);
        x += cairo_image_surface_get_width(p->get()) + 4;
    }
    writePng(s, path);
}

// A region of a surface, enlarged without smoothing.
void zoom(const Surface& src, int x, int y, int w, int h, int scale, const std::string& path) {
    Surface s = newSurface(w * scale, h * scale);
    Context c = newContext(s);
    cairo_t* cr = c.get();
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, src.get(), -x, -y);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    writePng(s, path);
}

// Every knob image in a grid of 9 columns, for checking the sweep.
Surface knobGrid(const ImageSet& im) {
    const int cols = 9, rows = (kKnobFrames + cols - 1) / cols;
    Surface s = newSurface(cols * kKnobSize, rows * kKnobSize);
    Context c = newContext(s);
    cairo_t* cr = c.get();
    cairo_set_source_rgb(cr, 0.96, 0.78, 0.11);
    cairo_paint(cr);
    for (int i = 0; i < kKnobFrames; ++i) {
        const Box box{(i % cols) * kKnobSize, (i / cols) * kKnobSize, (i % cols + 1) * kKnobSize,
                      (i / cols + 1) * kKnobSize};
        place(cr, im.knob, box, i, kKnobSize);
    }
    return s;
}

} // namespace

void writePreviews(const ImageSet& im, const std::string& dir) {
    const Surface frontPlay = front(im, {0.6, 0.6, false, true});
    const Surface frontOther = front(im, {0.0, 1.0, true, false});
    const double faders[5] = {0.5, 0.0, 1.0, 0.3, 0.8};
    const Surface backA = back(im, faders, false, true);
    const double faders2[5] = {1.0, 0.5, 0.5, 0.0, 0.0};
    const Surface backB = back(im, faders2, true, false);
    writePng(frontPlay, dir + "/front.png");
    writePng(backA, dir + "/back.png");
    sheet({&frontPlay, &frontOther, &backA, &backB}, 1, dir + "/panels.png");
    sheet({&frontPlay}, 3, dir + "/front-x3.png");
    sheet({&backA}, 3, dir + "/back-x3.png");
    zoom(frontPlay, 0, 0, 270, 170, 4, dir + "/zoom-knobs.png");
    zoom(frontPlay, 0, 170, 270, 130, 4, dir + "/zoom-middle.png");
    zoom(frontPlay, 0, 290, 270, 185, 4, dir + "/zoom-bottom.png");
    zoom(frontOther, 60, 240, 150, 140, 4, dir + "/zoom-switch-pressed.png");
    zoom(backA, 0, 0, 270, 160, 4, dir + "/zoom-back-top.png");
    zoom(backA, 0, 160, 270, 160, 4, dir + "/zoom-back-middle.png");
    zoom(backA, 0, 315, 270, 160, 4, dir + "/zoom-back-bottom.png");
    zoom(frontPlay, 0, 180, 40, 80, 8, dir + "/zoom-side.png");
    const Surface grid = knobGrid(im);
    writePng(grid, dir + "/knobs.png");
    sheet({&im.footswitch, &im.stereoSwitch, &im.led, &im.tweak}, 4, dir + "/small-x4.png");
}

} // namespace Artwork

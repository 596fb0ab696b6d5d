#include "panels.h"

#include "controls.h"
#include "layout.h"

#include <cmath>
#include <numbers>

namespace Artwork {

namespace {

constexpr double kPi = std::numbers::pi;
const Colour kYellow = rgb(246, 198, 28);
const Colour kInk = rgb(24, 20, 14);
constexpr double kCorner = 13.0; // enclosure corner radius
constexpr double kRim = 5.0;     // width of the rounded enclosure edge seen from above

// Screws sit in the four corners, clear of every control.
constexpr double kScrewInset = 13.5;

// The die-cast enclosure seen from above: a dark surround in the rounded corners, the
// curved rim, and the flat painted face with a gentle light fall-off and paint grain.
void enclosure(cairo_t* cr, int width, int height, Colour paint, unsigned grainSeed) {
    const double w = kPanelWidth, h = kPanelHeight;
    cairo_set_source_rgb(cr, 0.09, 0.09, 0.09);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);

    // Rim: lit along the top and left, shaded along the bottom and right.
    roundedRectPath(cr, 0, 0, w, h, kCorner);
    const Colour lit = mix(paint, rgb(255, 255, 255), 0.35);
    const Colour dark = mix(paint, rgb(60, 30, 0), 0.55);
    setGradient(cr, cairo_pattern_create_linear(0, 0, w * 0.35, h),
                {{0.0, lit.r, lit.g, lit.b},
                 {0.5, paint.r * 0.85, paint.g * 0.82, paint.b * 0.7},
                 {1.0, dark.r, dark.g, dark.b}});
    cairo_fill(cr);

    // Face.
    roundedRectPath(cr, kRim, kRim, w - 2 * kRim, h - 2 * kRim, kCorner - kRim + 2);
    cairo_save(cr);
    cairo_clip_preserve(cr);
    const Colour top = mix(paint, rgb(255, 250, 220), 0.16);
    const Colour bottom = mix(paint, rgb(150, 90, 0), 0.16);
    setGradient(cr, cairo_pattern_create_linear(0, 0, w * 0.4, h),
                {{0.0, top.r, top.g, top.b},
                 {0.55, paint.r, paint.g, paint.b},
                 {1.0, bottom.r, bottom.g, bottom.b}});
    cairo_fill(cr);
    addGrain(cr, width, height, 0.035, grainSeed);
    // A thin bright line where the face turns into the rim, and shade on the far side.
    roundedRectPath(cr, kRim + 0.5, kRim + 0.5, w - 2 * kRim - 1, h - 2 * kRim - 1,
                    kCorner - kRim + 1.5);
    setGradient(cr, cairo_pattern_create_linear(0, 0, w * 0.3, h),
                {{0.0, 1, 1, 0.9, 0.55}, {0.5, 1, 1, 0.9, 0.1}, {1.0, 0.3, 0.15, 0, 0.35}});
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void screw(cairo_t* cr, double cx, double cy, double slotAngle) {
    const double r = 5.5;
    softShadow(cr, cx + 0.6, cy + 1.2, r + 2.0, 2.5, 0.45);
    litDisc(cr, cx, cy, r,
            {{0.0, 0.93, 0.93, 0.92}, {0.5, 0.66, 0.66, 0.66}, {1.0, 0.40, 0.40, 0.40}});
    circlePath(cr, cx, cy, r - 0.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    // Cross recess.
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    for (int i = 0; i < 2; ++i) {
        const double a = slotAngle + i * kPi / 2;
        const double dx = std::cos(a) * 3.2, dy = std::sin(a) * 3.2;
        cairo_set_line_width(cr, 1.6);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.5);
        cairo_move_to(cr, cx - dx + 0.4, cy - dy + 0.6);
        cairo_line_to(cr, cx + dx + 0.4, cy + dy + 0.6);
        cairo_stroke(cr);
        cairo_set_source_rgba(cr, 0.12, 0.12, 0.12, 0.9);
        cairo_move_to(cr, cx - dx, cy - dy);
        cairo_line_to(cr, cx + dx, cy + dy);
        cairo_stroke(cr);
    }
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

void screws(cairo_t* cr) {
    const double l = kScrewInset, r = kPanelWidth - kScrewInset;
    const double t = kScrewInset, b = kPanelHeight - kScrewInset;
    screw(cr, l, t, 0.35);
    screw(cr, r, t, 1.1);
    screw(cr, l, b, 0.8);
    screw(cr, r, b, 0.15);
}

// A hole in the face: dark inside, its lower edge catching light from the upper left.
void hole(cairo_t* cr, double cx, double cy, double radius, double depthShade) {
    circlePath(cr, cx, cy, radius + 1.0);
    setGradient(cr, cairo_pattern_create_linear(cx - radius, cy - radius, cx + radius, cy + radius),
                {{0.0, 0.25, 0.12, 0, 0.45}, {1.0, 1, 1, 0.85, 0.7}});
    cairo_fill(cr);
    circlePath(cr, cx, cy, radius);
    setGradient(
        cr,
        cairo_pattern_create_radial(cx + radius * 0.15, cy + radius * 0.2, radius * 0.2, cx, cy,
                                    radius),
        {{0.0, 0.08 * depthShade, 0.08 * depthShade, 0.08 * depthShade}, {1.0, 0.01, 0.01, 0.01}});
    cairo_fill(cr);
}

void knobScale(cairo_t* cr, double cx, double cy) {
    for (int k = 0; k <= 10; ++k) {
        const double a = knobAngleForValue(k / 10.0);
        const bool major = k == 0 || k == 5 || k == 10;
        const double r = kKnobRadius + 9.0;
        circlePath(cr, cx + std::cos(a) * r, cy + std::sin(a) * r, major ? 1.7 : 1.15);
        setColour(cr, kInk, 0.85);
        cairo_fill(cr);
    }
}

// A small arrow along the edge showing which way the signal goes through the jack.
void arrow(cairo_t* cr, double fromX, double toX, double y) {
    const double d = toX > fromX ? 1.0 : -1.0;
    setColour(cr, kInk, 0.9);
    cairo_set_line_width(cr, 1.2);
    cairo_move_to(cr, fromX, y);
    cairo_line_to(cr, toX - d * 3.0, y);
    cairo_stroke(cr);
    cairo_move_to(cr, toX, y);
    cairo_line_to(cr, toX - d * 4.5, y - 3.0);
    cairo_line_to(cr, toX - d * 4.5, y + 3.0);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void sideLabel(cairo_t* cr, const Fonts& fonts, const char* text, double x, double cy,
               double rotation) {
    const TextStyle style{Typeface::Label, 8.5, 1.2};
    cairo_save(cr);
    cairo_translate(cr, x, cy);
    cairo_rotate(cr, rotation);
    printText(cr, fonts, style, text, 0, 3.0, Align::Centre, kInk, 0.9);
    cairo_restore(cr);
}

void makerBadge(cairo_t* cr, const Fonts& fonts, double cx, double cy) {
    const TextStyle style{Typeface::Maker, 13.0, 0.3};
    const double w = textWidth(cr, fonts, style, "Keldwyn") + 18, h = 19;
    const double x = std::round(cx - w / 2), y = std::round(cy - h / 2);
    roundedRectPath(cr, x, y + 1, w, h, h / 2);
    cairo_set_source_rgba(cr, 1, 1, 0.9, 0.45);
    cairo_fill(cr);
    roundedRectPath(cr, x, y, w, h, h / 2);
    setColour(cr, kInk);
    cairo_fill(cr);
    roundedRectPath(cr, x + 2, y + 2, w - 4, h - 4, h / 2 - 2);
    setColour(cr, kYellow, 0.8);
    cairo_set_line_width(cr, 0.8);
    cairo_stroke(cr);
    cairo_new_path(cr);
    textPath(cr, fonts, style, "Keldwyn", cx, y + 13.6, Align::Centre);
    setColour(cr, kYellow);
    cairo_fill(cr);
}

void productName(cairo_t* cr, const Fonts& fonts, double cx, double baseline) {
    const TextStyle style{Typeface::Product, 45.0, 0.8};
    // Screen-printed lettering: a faint light edge below, a dark body.
    cairo_new_path(cr);
    textPath(cr, fonts, style, "Gravelix", cx, baseline + 1.0, Align::Centre);
    cairo_set_source_rgba(cr, 1, 1, 0.85, 0.35);
    cairo_fill(cr);
    cairo_new_path(cr);
    textPath(cr, fonts, style, "Gravelix", cx, baseline, Align::Centre);
    setColour(cr, kInk);
    cairo_fill(cr);
}

// Gravelix HQ's mark: "HQ" cut out of a small ink tag with the maker badge's inner line, so
// it reads as part of the same screen print.
void hqMark(cairo_t* cr, const Fonts& fonts, double x, double cy, Align align) {
    const TextStyle style{Typeface::Label, 9.5, 1.0};
    const double w = std::round(textWidth(cr, fonts, style, "HQ") + 9), h = 14;
    const double left = align == Align::Left    ? x
                        : align == Align::Right ? x - w
                                                : std::round(x - w / 2);
    const double y = std::round(cy - h / 2);
    roundedRectPath(cr, left, y + 1, w, h, 3);
    cairo_set_source_rgba(cr, 1, 1, 0.9, 0.45);
    cairo_fill(cr);
    roundedRectPath(cr, left, y, w, h, 3);
    setColour(cr, kInk);
    cairo_fill(cr);
    roundedRectPath(cr, left + 1.5, y + 1.5, w - 3, h - 3, 2);
    setColour(cr, kYellow, 0.8);
    cairo_set_line_width(cr, 0.7);
    cairo_stroke(cr);
    cairo_new_path(cr);
    textPath(cr, fonts, style, "HQ", left + w / 2, y + 10.6, Align::Centre);
    setColour(cr, kYellow);
    cairo_fill(cr);
}

// Tick marks on both sides of a fader at every tenth of its travel, longer at the ends
// and the middle, level with the handle's index line.
void faderScale(cairo_t* cr, const Box& fader) {
    for (int k = 0; k <= 10; ++k) {
        const double y = fader.top + faderHandleCentre(k / 10.0) + 0.5;
        const bool major = k == 0 || k == 5 || k == 10;
        const double len = major ? 6.0 : 3.5;
        cairo_set_line_width(cr, 1.0);
        setColour(cr, kInk, major ? 0.9 : 0.7);
        cairo_move_to(cr, fader.left - 2.0 - len, y);
        cairo_line_to(cr, fader.left - 2.0, y);
        cairo_move_to(cr, fader.right + 2.0, y);
        cairo_line_to(cr, fader.right + 2.0 + len, y);
        cairo_stroke(cr);
    }
}

// Schematic symbols for the faint circuit drawing behind the back panel's controls.
void wire(cairo_t* cr, std::initializer_list<std::pair<double, double>> points) {
    bool first = true;
    for (const auto& [x, y] : points) {
        if (first) {
            cairo_move_to(cr, x, y);
        } else {
            cairo_line_to(cr, x, y);
        }
        first = false;
    }
    cairo_stroke(cr);
}

void dot(cairo_t* cr, double x, double y) {
    circlePath(cr, x, y, 2.0);
    cairo_fill(cr);
}

// Resistor from (x, y) of length len along the x axis (vertical when `vertical`).
void resistor(cairo_t* cr, double x, double y, double len, bool vertical) {
    const int zigs = 6;
    const double lead = (len - 24.0) / 2.0;
    cairo_save(cr);
    cairo_translate(cr, x, y);
    if (vertical) {
        cairo_rotate(cr, kPi / 2);
    }
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, lead, 0);
    for (int i = 0; i < zigs; ++i) {
        cairo_line_to(cr, lead + (i + 0.5) * 24.0 / zigs, (i % 2 == 0) ? -4.5 : 4.5);
    }
    cairo_line_to(cr, lead + 24.0, 0);
    cairo_line_to(cr, len, 0);
    cairo_restore(cr);
    cairo_stroke(cr);
}

void capacitor(cairo_t* cr, double x, double y, double len, bool vertical) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    if (vertical) {
        cairo_rotate(cr, kPi / 2);
    }
    const double m = len / 2.0;
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, m - 2.5, 0);
    cairo_move_to(cr, m - 2.5, -7);
    cairo_line_to(cr, m - 2.5, 7);
    cairo_move_to(cr, m + 2.5, -7);
    cairo_line_to(cr, m + 2.5, 7);
    cairo_move_to(cr, m + 2.5, 0);
    cairo_line_to(cr, len, 0);
    cairo_restore(cr);
    cairo_stroke(cr);
}

// Diode along +y from (x, y), pointing down when `down`.
void diode(cairo_t* cr, double x, double y, double len, bool down) {
    const double m = y + len / 2.0, d = down ? 1.0 : -1.0;
    wire(cr, {{x, y}, {x, y + len}});
    cairo_move_to(cr, x - 6, m - 5 * d);
    cairo_line_to(cr, x + 6, m - 5 * d);
    cairo_line_to(cr, x, m + 5 * d);
    cairo_close_path(cr);
    cairo_stroke(cr);
    wire(cr, {{x - 6, m + 5 * d}, {x + 6, m + 5 * d}});
}

void ground(cairo_t* cr, double x, double y) {
    wire(cr, {{x - 7, y}, {x + 7, y}});
    wire(cr, {{x - 4.5, y + 3}, {x + 4.5, y + 3}});
    wire(cr, {{x - 2, y + 6}, {x + 2, y + 6}});
}

void terminal(cairo_t* cr, double x, double y) {
    circlePath(cr, x, y, 3.0);
    cairo_stroke(cr);
}

// The pedal's circuit in outline, laid into the gaps between the controls: input on the
// right, coupling and input resistor, the op-amp with its feedback in the middle, the
// diode pair to ground, the tone filter along the bottom and the output on the left, with
// the bias divider in the upper left.
void circuit(cairo_t* cr) {
    cairo_save(cr);
    cairo_set_source_rgba(cr, 0.33, 0.20, 0.02, 0.22);
    cairo_set_line_width(cr, 1.2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);

    terminal(cr, 245, 166);
    capacitor(cr, 242, 166, -26, false);
    resistor(cr, 216, 166, -50, false);
    wire(cr, {{166, 166}, {146, 166}, {146, 212}});

    // Op-amp pointing down: inputs on top, output at the tip.
    cairo_move_to(cr, 118, 212);
    cairo_line_to(cr, 154, 212);
    cairo_line_to(cr, 136, 248);
    cairo_close_path(cr);
    cairo_stroke(cr);
    wire(cr, {{126, 212}, {126, 198}, {116, 198}, {116, 210}});
    resistor(cr, 116, 210, 52, true);
    wire(cr, {{116, 262}, {116, 276}, {136, 276}});
    wire(cr, {{136, 248}, {136, 290}});
    dot(cr, 136, 276);
    resistor(cr, 136, 290, 40, true);
    dot(cr, 136, 330);

    // Diode pair to ground.
    wire(cr, {{116, 330}, {146, 330}});
    diode(cr, 126, 330, 30, true);
    diode(cr, 146, 330, 30, false);
    wire(cr, {{126, 360}, {146, 360}});
    wire(cr, {{136, 360}, {136, 368}});
    ground(cr, 136, 368);

    // Tone filter and output level.
    wire(cr, {{116, 330}, {116, 444}});
    resistor(cr, 116, 444, -40, false);
    dot(cr, 70, 444);
    wire(cr, {{76, 444}, {40, 444}});
    capacitor(cr, 70, 444, 12, true);
    ground(cr, 70, 456);
    resistor(cr, 40, 444, -44, true);
    wire(cr, {{30, 422}, {35, 422}});
    wire(cr, {{40, 400}, {40, 300}, {31, 300}});
    terminal(cr, 28, 300);

    // Bias divider with its filter capacitor.
    terminal(cr, 30, 64);
    resistor(cr, 30, 67, 45, true);
    dot(cr, 30, 116);
    wire(cr, {{30, 112}, {30, 120}});
    resistor(cr, 30, 120, 45, true);
    ground(cr, 30, 165);
    wire(cr, {{30, 116}, {46, 116}});
    capacitor(cr, 46, 116, 40, true);
    ground(cr, 46, 156);
    cairo_restore(cr);
}

} // namespace

Surface drawFrontPanel(const Fonts& fonts, Edition edition) {
    Surface s = newSurface(kPanelWidth, kPanelHeight);
    Context c = newContext(s);
    cairo_t* cr = c.get();
    enclosure(cr, kPanelWidth, kPanelHeight, kYellow, 1);
    screws(cr);

    const TextStyle label{Typeface::Label, 10.5, 1.3};
    for (const Box& knob : {kOutputKnob, kDistortionKnob}) {
        hole(cr, knob.centreX(), knob.centreY(), kKnobRadius + 4.0, 1.0);
        knobScale(cr, knob.centreX(), knob.centreY());
    }
    const double labelBaseline = kOutputKnob.bottom + 12;
    printText(cr, fonts, label, "OUTPUT", kOutputKnob.centreX(), labelBaseline, Align::Centre,
              kInk);
    printText(cr, fonts, label, "DISTORTION", kDistortionKnob.centreX(), labelBaseline,
              Align::Centre, kInk);

    // Jack labels on the edges where the cables plug in: output on the left, input on
    // the right, each with an arrow in the direction of the signal.
    const double jackY = 222;
    sideLabel(cr, fonts, "OUTPUT", 14, jackY, -kPi / 2);
    arrow(cr, 20, 9, jackY - 30.5);
    sideLabel(cr, fonts, "INPUT", kPanelWidth - 14, jackY, kPi / 2);
    arrow(cr, kPanelWidth - 8, kPanelWidth - 19, jackY - 26.5);

    makerBadge(cr, fonts, kPanelAxis, 205);

    hole(cr, kEffectLed.centreX(), kEffectLed.centreY(), 10.5, 1.0);
    hole(cr, kPanelAxis, kFootswitch.centreY(), 36.0, 1.6);

    productName(cr, fonts, kPanelAxis, 432);
    if (edition == Edition::HQ) {
        // After the name's last letter, level with its capitals' upper half.
        const double nameRight =
            kPanelAxis + textWidth(cr, fonts, {Typeface::Product, 45.0, 0.8}, "Gravelix") / 2;
        hqMark(cr, fonts, std::round(nameRight + 3), 408, Align::Left);
    }
    return s;
}

Surface drawBackPanel(const Fonts& fonts, Edition edition) {
    Surface s = newSurface(kBackWidth, kBackHeight);
    Context c = newContext(s);
    cairo_t* cr = c.get();
    enclosure(cr, kBackWidth, kBackHeight, mix(kYellow, rgb(255, 240, 190), 0.12), 2);
    circuit(cr);
    screws(cr);

    // Under the tweak button, in case the button is ever drawn smaller than its place.
    printText(cr, fonts, {Typeface::Label, 11.0, 0.5}, "tweak", kTweakButton.centreX() - 9,
              kTweakButton.top + 17, Align::Centre, kInk);

    const TextStyle label{Typeface::Label, 10.5, 0.4};
    struct Labelled {
        const char* text;
        Box box;
        double centreX;
    };
    // The switch housing is 46 pixels wide, 2 in from the image's left edge.
    const double switchCentre = kStereoSwitch.left + 2 + 23;
    const Labelled labels[] = {
        {"Input Level", kInputFader, kInputFader.centreX()},
        {"Channels", kStereoSwitch, switchCentre},
        {"Input Type", kPickupSwitch, switchCentre},
        {"Op Amp Clipping", kOpampFader, kOpampFader.centreX()},
        {"Diode Clipping", kDiodeFader, kDiodeFader.centreX()},
        {"High Cut", kHighCutFader, kHighCutFader.centreX()},
        {"Low Cut", kLowCutFader, kLowCutFader.centreX()},
    };
    for (const Labelled& l : labels) {
        printText(cr, fonts, label, l.text, l.centreX, l.box.top - 8, Align::Centre, kInk);
    }

    for (const Box& fader : {kInputFader, kOpampFader, kDiodeFader, kHighCutFader, kLowCutFader}) {
        faderScale(cr, fader);
    }

    // The switches' two positions: off to the left, on to the right.
    const TextStyle legend{Typeface::Label, 7.5, 0.6};
    struct Legend {
        Box box;
        const char* off;
        const char* on;
    };
    for (const Legend& l :
         {Legend{kStereoSwitch, "MONO", "STEREO"}, Legend{kPickupSwitch, "LINE", "PICKUP"}}) {
        const double baseline = l.box.centreY() + 3.0;
        printText(cr, fonts, legend, l.off, l.box.left - 3, baseline, Align::Right, kInk, 0.85);
        printText(cr, fonts, legend, l.on, l.box.left + 53, baseline, Align::Left, kInk, 0.85);
    }
    if (edition == Edition::HQ) {
        // Below the Low Cut fader, where a model plate would sit.
        hqMark(cr, fonts, kLowCutFader.centreX(), 452, Align::Centre);
    }
    return s;
}

} // namespace Artwork

#include "controls.h"

#include "layout.h"

#include <cmath>
#include <numbers>

namespace Artwork {

namespace {

constexpr double kPi = std::numbers::pi;

// Light falls from the upper left in every picture; highlights never turn with a knob.
void knob(cairo_t* cr, double cx, double cy, double angle) {
    const double skirt = kKnobRadius;
    const double cap = 31.0;

    softShadow(cr, cx + 1.5, cy + 3.0, skirt + 5.0, 9.0, 0.55);

    // Skirt: near-black plastic, lit from the upper left.
    litDisc(cr, cx, cy, skirt,
            {{0.0, 0.23, 0.23, 0.24}, {0.5, 0.08, 0.08, 0.09}, {1.0, 0.03, 0.03, 0.03}});

    // Grip ridges on the skirt turn with the knob.
    cairo_save(cr);
    circlePath(cr, cx, cy, skirt - 0.8);
    cairo_clip(cr);
    const int ridges = 40;
    for (int i = 0; i < ridges; ++i) {
        const double a = angle + (i + 0.5) * 2.0 * kPi / ridges;
        const double lit = 0.5 + 0.5 * std::cos(a - (-3.0 * kPi / 4.0));
        cairo_set_line_width(cr, 1.6);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.05 + 0.16 * lit * lit);
        cairo_move_to(cr, cx + std::cos(a) * (cap + 1.5), cy + std::sin(a) * (cap + 1.5));
        cairo_line_to(cr, cx + std::cos(a) * skirt, cy + std::sin(a) * skirt);
        cairo_stroke(cr);
        cairo_set_line_width(cr, 1.2);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
        const double b = a + kPi / ridges;
        cairo_move_to(cr, cx + std::cos(b) * (cap + 1.5), cy + std::sin(b) * (cap + 1.5));
        cairo_line_to(cr, cx + std::cos(b) * skirt, cy + std::sin(b) * skirt);
        cairo_stroke(cr);
    }
    cairo_restore(cr);

    // Outer rim: a thin bright edge on the lit side.
    setGradient(cr, cairo_pattern_create_linear(cx - skirt, cy - skirt, cx + skirt, cy + skirt),
                {{0.0, 1, 1, 1, 0.45}, {0.5, 1, 1, 1, 0.05}, {1.0, 1, 1, 1, 0.0}});
    cairo_set_line_width(cr, 1.0);
    circlePath(cr, cx, cy, skirt - 0.5);
    cairo_stroke(cr);

    // Cap: a step down from the skirt, its edge catching light at the top and shade below.
    softShadow(cr, cx + 0.5, cy + 1.5, cap + 2.5, 4.0, 0.6);
    setGradient(cr, cairo_pattern_create_linear(cx, cy - cap, cx, cy + cap),
                {{0.0, 0.20, 0.20, 0.21}, {1.0, 0.06, 0.06, 0.065}});
    circlePath(cr, cx, cy, cap);
    cairo_fill(cr);
    // Soft sheen across the cap.
    setGradient(cr, cairo_pattern_create_radial(cx - 9, cy - 12, 2, cx - 4, cy - 6, cap * 1.1),
                {{0.0, 1, 1, 1, 0.16}, {1.0, 1, 1, 1, 0.0}});
    circlePath(cr, cx, cy, cap);
    cairo_fill(cr);
    setGradient(cr, cairo_pattern_create_linear(cx, cy - cap, cx, cy + cap),
                {{0.0, 1, 1, 1, 0.35}, {0.45, 1, 1, 1, 0.04}, {1.0, 0, 0, 0, 0.4}});
    cairo_set_line_width(cr, 1.0);
    circlePath(cr, cx, cy, cap - 0.5);
    cairo_stroke(cr);

    // Pointer: a white line from near the centre across the skirt's edge.
    const double ux = std::cos(angle);
    const double uy = std::sin(angle);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, 4.4);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
    cairo_move_to(cr, cx + ux * 13 + 0.4, cy + uy * 13 + 0.8);
    cairo_line_to(cr, cx + ux * (skirt - 3) + 0.4, cy + uy * (skirt - 3) + 0.8);
    cairo_stroke(cr);
    cairo_set_line_width(cr, 3.4);
    cairo_set_source_rgb(cr, 0.97, 0.97, 0.95);
    cairo_move_to(cr, cx + ux * 13, cy + uy * 13);
    cairo_line_to(cr, cx + ux * (skirt - 3), cy + uy * (skirt - 3));
    cairo_stroke(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
}

void chromeDisc(cairo_t* cr, double cx, double cy, double r, double brightness) {
    litDisc(cr, cx, cy, r,
            {{0.00, 0.95 * brightness, 0.95 * brightness, 0.96 * brightness},
             {0.35, 0.62 * brightness, 0.63 * brightness, 0.65 * brightness},
             {0.55, 0.88 * brightness, 0.88 * brightness, 0.90 * brightness},
             {1.00, 0.38 * brightness, 0.38 * brightness, 0.40 * brightness}});
}

void hexagonPath(cairo_t* cr, double cx, double cy, double r, double rotation) {
    cairo_new_sub_path(cr);
    for (int i = 0; i < 6; ++i) {
        const double a = rotation + i * kPi / 3;
        if (i == 0) {
            cairo_move_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
        } else {
            cairo_line_to(cr, cx + r * std::cos(a), cy + r * std::sin(a));
        }
    }
    cairo_close_path(cr);
}

void footswitch(cairo_t* cr, double cx, double cy, bool pressed) {
    // Hex nut holding the switch, then the threaded bushing, then the plunger cap.
    const double nut = 27.0;
    softShadow(cr, cx + 1, cy + 2.5, nut + 4, 7, 0.5);
    hexagonPath(cr, cx, cy, nut, kPi / 6);
    setGradient(cr, cairo_pattern_create_linear(cx - nut, cy - nut, cx + nut, cy + nut),
                {{0.0, 0.92, 0.92, 0.93}, {0.45, 0.66, 0.67, 0.69}, {1.0, 0.36, 0.36, 0.38}});
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    // Facets: each side of the nut lit by its own angle to the light.
    for (int i = 0; i < 6; ++i) {
        const double a0 = kPi / 6 + i * kPi / 3;
        const double a1 = a0 + kPi / 3;
        const double mid = (a0 + a1) / 2;
        const double lit = std::cos(mid - (-3 * kPi / 4));
        cairo_move_to(cr, cx + nut * std::cos(a0), cy + nut * std::sin(a0));
        cairo_line_to(cr, cx + nut * std::cos(a1), cy + nut * std::sin(a1));
        cairo_line_to(cr, cx + (nut - 5) * std::cos(a1), cy + (nut - 5) * std::sin(a1));
        cairo_line_to(cr, cx + (nut - 5) * std::cos(a0), cy + (nut - 5) * std::sin(a0));
        cairo_close_path(cr);
        if (lit > 0) {
            cairo_set_source_rgba(cr, 1, 1, 1, 0.35 * lit);
        } else {
            cairo_set_source_rgba(cr, 0, 0, 0, -0.3 * lit);
        }
        cairo_fill(cr);
    }

    // Bushing: a darker threaded ring.
    const double bushing = 19.5;
    circlePath(cr, cx, cy, bushing);
    cairo_set_source_rgb(cr, 0.30, 0.30, 0.32);
    cairo_fill(cr);
    for (double r = 14.5; r < bushing; r += 1.5) {
        circlePath(cr, cx, cy, r);
        cairo_set_source_rgba(cr, 1, 1, 1, 0.10);
        cairo_set_line_width(cr, 0.6);
        cairo_stroke(cr);
    }
    circlePath(cr, cx, cy, bushing - 0.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);

    // Plunger cap: raised and brightly lit when released; pushed down into the bushing,
    // smaller and shaded when pressed.
    const double cap = pressed ? 12.0 : 14.5;
    const double lift = pressed ? 0.8 : 3.5;
    const double capY = pressed ? cy + 1.0 : cy - 0.5;
    if (pressed) {
        circlePath(cr, cx, cy, 15.0);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.75);
        cairo_fill(cr);
    }
    softShadow(cr, cx + lift * 0.5, capY + lift, cap + 2 + lift, 3 + lift, pressed ? 0.5 : 0.6);
    chromeDisc(cr, cx, capY, cap, pressed ? 0.62 : 1.0);
    // Rounded top: a bright crescent highlight and a ring of reflected light.
    setGradient(cr,
                cairo_pattern_create_radial(cx - cap * 0.35, capY - cap * 0.4, 0.5, cx - cap * 0.2,
                                            capY - cap * 0.2, cap * 0.9),
                {{0.0, 1, 1, 1, pressed ? 0.35 : 0.85}, {1.0, 1, 1, 1, 0.0}});
    circlePath(cr, cx, capY, cap);
    cairo_fill(cr);
    circlePath(cr, cx, capY, cap - 0.5);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

// A rounded block standing on the face: the switch housings, the actuator, the handles.
struct Block {
    double x, y, w, h, radius;
};

// Its shadow falls `drop` below it; its top shades through `top` from its upper to its
// lower edge.
void raisedBlock(cairo_t* cr, const Block& b, double drop, double shadowAlpha,
                 std::initializer_list<ColourStop> top) {
    roundedRectPath(cr, b.x + 0.5, b.y + drop, b.w, b.h, b.radius);
    cairo_set_source_rgba(cr, 0, 0, 0, shadowAlpha);
    cairo_fill(cr);
    roundedRectPath(cr, b.x, b.y, b.w, b.h, b.radius);
    setGradient(cr, cairo_pattern_create_linear(0, b.y, 0, b.y + b.h), top);
    cairo_fill(cr);
}

// The block's edge, a pixel wide just inside its outline, in the current source.
void blockEdge(cairo_t* cr, const Block& b) {
    roundedRectPath(cr, b.x + 0.5, b.y + 0.5, b.w - 1, b.h - 1, b.radius - 0.5);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
}

void slideSwitch(cairo_t* cr, double x, double y, bool on) {
    // Black plastic housing with a slot; the metal actuator slides right when on and
    // uncovers a lit orange strip.
    const double w = 46, h = 18;
    const Block housing{x, y, w, h, 3.5};
    raisedBlock(cr, housing, 1.5, 0.35, {{0.0, 0.25, 0.25, 0.27}, {1.0, 0.08, 0.08, 0.09}});
    cairo_set_source_rgba(cr, 0, 0, 0, 0.8);
    blockEdge(cr, housing);

    const double sx = x + 5, sy = y + 5, sw = w - 10, sh = h - 10;
    roundedRectPath(cr, sx, sy, sw, sh, 2);
    cairo_set_source_rgb(cr, 0.02, 0.02, 0.02);
    cairo_fill(cr);
    if (on) {
        roundedRectPath(cr, sx + 1, sy + 1, sw - 17, sh - 2, 1.5);
        cairo_set_source_rgb(cr, 1.0, 0.55, 0.10);
        cairo_fill(cr);
    }
    const double aw = 16, ah = h - 4;
    const double ax = on ? sx + sw - aw + 2 : sx - 2;
    const double ay = y + 2;
    const Block actuator{ax, ay, aw, ah, 2.5};
    raisedBlock(cr, actuator, 1.2, 0.5,
                {{0.0, 0.96, 0.96, 0.97}, {0.5, 0.74, 0.75, 0.77}, {1.0, 0.52, 0.52, 0.55}});
    cairo_set_source_rgba(cr, 0, 0, 0, 0.55);
    blockEdge(cr, actuator);
    // Grip grooves across the actuator.
    for (int i = 0; i < 3; ++i) {
        const double gx = ax + 5 + i * 3;
        cairo_move_to(cr, gx + 0.5, ay + 3);
        cairo_line_to(cr, gx + 0.5, ay + ah - 3);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.35);
        cairo_stroke(cr);
    }
}

void led(cairo_t* cr, double cx, double cy, bool lit) {
    if (lit) {
        // Glow spilling onto the face around the bezel.
        setGradient(cr, cairo_pattern_create_radial(cx, cy, 6, cx, cy, 16),
                    {{0.0, 1.0, 0.15, 0.05, 0.55},
                     {0.5, 1.0, 0.20, 0.05, 0.18},
                     {1.0, 1.0, 0.25, 0.05, 0.0}});
        circlePath(cr, cx, cy, 16);
        cairo_fill(cr);
    }
    softShadow(cr, cx + 0.5, cy + 1.5, 11.5, 3, 0.45);
    // Chrome bezel.
    chromeDisc(cr, cx, cy, 9.5, 1.0);
    circlePath(cr, cx, cy, 9.0);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.4);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    circlePath(cr, cx, cy, 6.8);
    cairo_set_source_rgb(cr, 0.1, 0.02, 0.02);
    cairo_fill(cr);
    // Lens.
    cairo_pattern_t* lens = cairo_pattern_create_radial(cx - 1.5, cy - 1.5, 0.5, cx, cy, 6.2);
    if (lit) {
        setGradient(cr, lens,
                    {{0.0, 1.0, 0.92, 0.80}, {0.35, 1.0, 0.25, 0.12}, {1.0, 0.78, 0.02, 0.02}});
    } else {
        setGradient(cr, lens,
                    {{0.0, 0.45, 0.10, 0.10}, {0.6, 0.28, 0.03, 0.03}, {1.0, 0.15, 0.01, 0.01}});
    }
    circlePath(cr, cx, cy, 6.0);
    cairo_fill(cr);
    // Specular dot on the dome.
    setGradient(cr, cairo_pattern_create_radial(cx - 2.2, cy - 2.4, 0, cx - 2.2, cy - 2.4, 2.6),
                {{0.0, 1, 1, 1, lit ? 0.9 : 0.7}, {1.0, 1, 1, 1, 0.0}});
    circlePath(cr, cx - 2.2, cy - 2.4, 2.6);
    cairo_fill(cr);
}

// Every control picture is a column of equal frames, one per position or state; each is
// drawn by draw(cr, index, top) clipped to its own cell.
template <typename DrawFrame>
Surface frameStrip(int width, int height, int frames, DrawFrame draw) {
    Surface s = newSurface(width, height * frames);
    Context c = newContext(s);
    cairo_t* cr = c.get();
    for (int i = 0; i < frames; ++i) {
        const double top = i * height;
        cairo_save(cr);
        cairo_rectangle(cr, 0, top, width, height);
        cairo_clip(cr);
        draw(cr, i, top);
        cairo_restore(cr);
    }
    return s;
}

} // namespace

Surface drawKnobStrip() {
    const double centre = kKnobSize / 2.0;
    return frameStrip(kKnobSize, kKnobSize, kKnobFrames, [&](cairo_t* cr, int i, double top) {
        knob(cr, centre, top + centre, knobAngleForFrame(i));
    });
}

Surface drawFootswitch() {
    // Centred on the face's axis rather than on its own rectangle.
    const double cx = kPanelAxis - kFootswitch.left;
    return frameStrip(80, 80, 2, [&](cairo_t* cr, int state, double top) {
        footswitch(cr, cx, top + 40, state == 1);
    });
}

Surface drawSlideSwitch() {
    return frameStrip(kSwitchWidth, kSwitchHeight, 2, [](cairo_t* cr, int state, double top) {
        slideSwitch(cr, 2, top + 2, state == 1);
    });
}

Surface drawLed() {
    return frameStrip(
        32, 32, 2, [](cairo_t* cr, int state, double top) { led(cr, 16, top + 16, state == 1); });
}

Surface drawTweakPlate(const Fonts& fonts) {
    const TextStyle style{Typeface::Label, 11.5, 0.6};
    return frameStrip(72, 25, 2, [&](cairo_t* cr, int state, double top) {
        const bool on = state == 1;
        const double x = 2, y = top + 5, w = 48, h = 16;
        const Block plate{x, y, w, h, 4};
        raisedBlock(cr, plate, 1.5, 0.35, {{0.0, 0.22, 0.22, 0.23}, {1.0, 0.09, 0.09, 0.10}});
        if (on) {
            cairo_set_source_rgba(cr, 1.0, 0.78, 0.15, 0.9);
        } else {
            cairo_set_source_rgba(cr, 1, 1, 1, 0.18);
        }
        blockEdge(cr, plate);
        const double baseline = y + 11.8;
        if (on) {
            cairo_new_path(cr);
            textPath(cr, fonts, style, "tweak", x + w / 2, baseline, Align::Centre);
            cairo_set_source_rgba(cr, 1.0, 0.7, 0.1, 0.3);
            cairo_set_line_width(cr, 1.5);
            cairo_stroke(cr);
        }
        cairo_new_path(cr);
        textPath(cr, fonts, style, "tweak", x + w / 2, baseline, Align::Centre);
        if (on) {
            cairo_set_source_rgb(cr, 1.0, 0.93, 0.55);
        } else {
            cairo_set_source_rgb(cr, 0.80, 0.80, 0.78);
        }
        cairo_fill(cr);
    });
}

Surface drawFaderStrip() {
    const double cx = kFaderWidth / 2.0;
    return frameStrip(kFaderWidth, kFaderHeight, kFaderFrames, [&](cairo_t* cr, int i, double y0) {
        // Slot cut into the plate.
        const double top = y0 + kFaderHighest - 4, bottom = y0 + kFaderLowest + 4;
        roundedRectPath(cr, cx - 3, top, 6, bottom - top, 3);
        cairo_set_source_rgb(cr, 0.06, 0.05, 0.03);
        cairo_fill(cr);
        roundedRectPath(cr, cx - 3, top + 0.5, 6, bottom - top, 3);
        cairo_set_source_rgba(cr, 1, 1, 0.9, 0.35);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);

        // Handle: a ribbed black cap with a white index line.
        const double hc = y0 + faderHandleCentre(static_cast<double>(i) / (kFaderFrames - 1));
        const double hw = 26, hh = kFaderHandleHeight;
        const double hx = cx - hw / 2, hy = hc - hh / 2;
        const Block handle{hx, hy, hw, hh, 2.5};
        raisedBlock(cr, handle, 2, 0.45,
                    {{0.0, 0.34, 0.34, 0.35}, {0.5, 0.13, 0.13, 0.14}, {1.0, 0.05, 0.05, 0.05}});
        for (int r = 0; r < 2; ++r) {
            const double ry = hy + 2.5 + r * 8;
            cairo_rectangle(cr, hx + 2, ry, hw - 4, 1);
            cairo_set_source_rgba(cr, 1, 1, 1, 0.12);
            cairo_fill(cr);
        }
        cairo_rectangle(cr, hx + 2, hc - 1, hw - 4, 2);
        cairo_set_source_rgb(cr, 0.96, 0.96, 0.94);
        cairo_fill(cr);
        cairo_set_source_rgba(cr, 0, 0, 0, 0.6);
        blockEdge(cr, handle);
    });
}

} // namespace Artwork

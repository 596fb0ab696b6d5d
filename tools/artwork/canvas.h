// Drawing helpers shared by all pictures: owned cairo surfaces, colours, shapes, printed
// text and the deterministic grain of painted metal.
#pragma once

#include "fonts.h"

#include <cairo.h>

#include <initializer_list>
#include <memory>
#include <string>

namespace Artwork {

struct Colour {
    double r, g, b;
};

inline Colour rgb(int r, int g, int b) {
    return {r / 255.0, g / 255.0, b / 255.0};
}
Colour mix(Colour a, Colour b, double t);

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

// Every picture is drawn in the 1x layout's units; a drawing scale of 2 makes each surface
// twice as many pixels each way and draws the same shapes, text and grain at that resolution.
void setDrawingScale(int scale);
int drawingScale();

// width x height layout units, drawingScale() pixels per unit.
Surface newSurface(int width, int height);
Context newContext(const Surface& surface);

void setColour(cairo_t* cr, Colour c, double alpha = 1.0);

struct ColourStop {
    double offset;
    double r, g, b;
    double alpha = 1.0;
};
// Gives the new gradient `pattern` its stops and makes it the source; the context keeps
// the only reference, so the caller has nothing to destroy.
void setGradient(cairo_t* cr, cairo_pattern_t* pattern, std::initializer_list<ColourStop> stops);

void circlePath(cairo_t* cr, double cx, double cy, double radius);
// A disc shaded through `stops` along the light's diagonal, from its upper left to its lower
// right: knob skirts, screw heads, chrome.
void litDisc(cairo_t* cr, double cx, double cy, double radius,
             std::initializer_list<ColourStop> stops);
void roundedRectPath(cairo_t* cr, double x, double y, double w, double h, double radius);

// A soft round shadow: alpha falls from `alpha` at `radius` - `blur` to 0 at `radius`.
void softShadow(cairo_t* cr, double cx, double cy, double radius, double blur, double alpha);

enum class Align { Left, Centre, Right };

struct TextStyle {
    Typeface typeface = Typeface::Label;
    double size = 11.0;
    double tracking = 0.0; // extra space between letters, in pixels
};

double textWidth(cairo_t* cr, const Fonts& fonts, const TextStyle& style, const std::string& text);
// Adds the outline of `text` to the path, its baseline starting at (x, baseline) for
// Align::Left and so on.
void textPath(cairo_t* cr, const Fonts& fonts, const TextStyle& style, const std::string& text,
              double x, double baseline, Align align);
// Printed text: a fill with a faint light edge below, as ink sits on painted metal.
void printText(cairo_t* cr, const Fonts& fonts, const TextStyle& style, const std::string& text,
               double x, double baseline, Align align, Colour ink, double alpha = 1.0);

// Adds fine grain inside the current clip: a fixed pseudo-random pattern, the same on
// every run and machine.
void addGrain(cairo_t* cr, int width, int height, double strength, unsigned seed);

// Writes an 8-bit RGBA PNG; throws std::runtime_error on failure.
void writePng(const Surface& surface, const std::string& path);

} // namespace Artwork

// The plots, drawn with cairo like the rest of the project's pictures: white background,
// Okabe-Ito line colours and the viridis map, both readable with colour-blindness.
#include "plots.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <stdexcept>

namespace gravelix::analysis {

namespace {

struct Rgb {
    double r, g, b;
};
constexpr Rgb kPalette[] = {{0.000, 0.447, 0.698}, {0.835, 0.369, 0.000}, {0.000, 0.620, 0.451},
                            {0.800, 0.475, 0.655}, {0.902, 0.624, 0.000}, {0.337, 0.706, 0.914},
                            {0.000, 0.000, 0.000}};

Rgb curveColour(std::size_t i) {
    return kPalette[i % std::size(kPalette)];
}

Rgb viridis(double t) {
    static constexpr Rgb stops[] = {
        {0.267, 0.005, 0.329}, {0.283, 0.141, 0.458}, {0.254, 0.265, 0.530},
        {0.207, 0.372, 0.553}, {0.164, 0.471, 0.558}, {0.128, 0.567, 0.551},
        {0.208, 0.719, 0.473}, {0.478, 0.821, 0.318}, {0.993, 0.906, 0.144}};
    t = std::clamp(t, 0.0, 1.0) * (std::size(stops) - 1);
    const auto i = std::min<std::size_t>(static_cast<std::size_t>(t), std::size(stops) - 2);
    const double f = t - static_cast<double>(i);
    return {stops[i].r + f * (stops[i + 1].r - stops[i].r),
            stops[i].g + f * (stops[i + 1].g - stops[i].g),
            stops[i].b + f * (stops[i + 1].b - stops[i].b)};
}

// The spectrogram's colours: 100 dB in 5 dB steps, which read as contours and keep the PNG small.
constexpr double kMapSpanDb = 100.0, kMapStepDb = 5.0;

Rgb mapColour(double db) {
    return viridis(std::floor((db + kMapSpanDb) / kMapStepDb) * kMapStepDb /
                   (kMapSpanDb - kMapStepDb));
}

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

std::string hzText(double hz) {
    char text[32];
    if (hz >= 1000.0) {
        std::snprintf(text, sizeof text, "%gk", hz / 1000.0);
    } else {
        std::snprintf(text, sizeof text, "%g", hz);
    }
    return text;
}

// One set of axes in a rectangle of the picture.
class Panel {
public:
    Panel(cairo_t* cr, double x, double y, double w, double h)
        : cr_(cr), x_(x), y_(y), w_(w), h_(h) {}

    void xRange(double lo, double hi, bool log) { x0_ = lo, x1_ = hi, xlog_ = log; }
    void yRange(double lo, double hi, bool log) { y0_ = lo, y1_ = hi, ylog_ = log; }

    double px(double v) const {
        const double t =
            xlog_ ? std::log10(v / x0_) / std::log10(x1_ / x0_) : (v - x0_) / (x1_ - x0_);
        return x_ + t * w_;
    }
    double py(double v) const {
        const double t =
            ylog_ ? std::log10(v / y0_) / std::log10(y1_ / y0_) : (v - y0_) / (y1_ - y0_);
        return y_ + h_ - t * h_;
    }
    double left() const { return x_; }
    double top() const { return y_; }
    double width() const { return w_; }
    double height() const { return h_; }
    double xLow() const { return x0_; }
    double xHigh() const { return x1_; }

    // Grid, ticks, labels and the frame.
    void axes(const std::string& title, const std::string& xLabel, const std::string& yLabel) {
        cairo_save(cr_);
        cairo_set_source_rgb(cr_, 1, 1, 1);
        cairo_rectangle(cr_, x_, y_, w_, h_);
        cairo_fill(cr_);
        cairo_set_line_width(cr_, 1.0);
        cairo_set_font_size(cr_, 12);
        for (const auto& [v, major] : ticks(x0_, x1_, xlog_)) {
            line(px(v), y_, px(v), y_ + h_, major ? 0.80 : 0.92);
            if (major) {
                text(xlog_ ? hzText(v) : number(v), px(v), y_ + h_ + 16, 0.5);
            }
        }
        for (const auto& [v, major] : ticks(y0_, y1_, ylog_)) {
            line(x_, py(v), x_ + w_, py(v), major ? 0.80 : 0.92);
            if (major) {
                text(number(v), x_ - 6, py(v) + 4, 1.0);
            }
        }
        cairo_set_source_rgb(cr_, 0.2, 0.2, 0.2);
        cairo_rectangle(cr_, x_ + 0.5, y_ + 0.5, w_, h_);
        cairo_stroke(cr_);
        cairo_set_font_size(cr_, 13);
        text(xLabel, x_ + w_ / 2, y_ + h_ + 36, 0.5);
        cairo_save(cr_);
        cairo_translate(cr_, x_ - 52, y_ + h_ / 2);
        cairo_rotate(cr_, -M_PI / 2);
        text(yLabel, 0, 0, 0.5);
        cairo_restore(cr_);
        cairo_set_font_size(cr_, 14);
        cairo_select_font_face(cr_, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
        text(title, x_, y_ - 8, 0.0);
        cairo_restore(cr_);
    }

    // A polyline clipped to the panel; NaN points break it.
    void curve(const std::vector<std::pair<double, double>>& points, Rgb c, double width,
               bool dashed = false) {
        cairo_save(cr_);
        cairo_rectangle(cr_, x_, y_, w_, h_);
        cairo_clip(cr_);
        cairo_set_source_rgb(cr_, c.r, c.g, c.b);
        cairo_set_line_width(cr_, width);
        cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
        if (dashed) {
            const double dash[] = {6.0, 4.0};
            cairo_set_dash(cr_, dash, 2, 0);
        }
        bool open = false;
        for (const auto& [x, y] : points) {
            if (!std::isfinite(x) || !std::isfinite(y) || (xlog_ && x <= 0) || (ylog_ && y <= 0)) {
                open = false;
                continue;
            }
            const double yy = std::clamp(py(y), y_ - 10, y_ + h_ + 10);
            open ? cairo_line_to(cr_, px(x), yy) : cairo_move_to(cr_, px(x), yy);
            open = true;
        }
        cairo_stroke(cr_);
        cairo_restore(cr_);
    }

    // A line through measured rows with a dot on each; x and y name the rows' fields.
    template <typename Row>
    void measured(const std::vector<Row>& rows, double Row::*x, double Row::*y, Rgb c) {
        std::vector<std::pair<double, double>> points;
        for (const Row& row : rows) {
            points.emplace_back(row.*x, row.*y);
        }
        curve(points, c, 2.0);
        dots(points, c);
    }

    void dots(const std::vector<std::pair<double, double>>& points, Rgb c) {
        cairo_save(cr_);
        cairo_set_source_rgb(cr_, c.r, c.g, c.b);
        for (const auto& [x, y] : points) {
            if (std::isfinite(y) && y >= std::min(y0_, y1_) && y <= std::max(y0_, y1_)) {
                cairo_arc(cr_, px(x), py(y), 3.5, 0, 2 * M_PI);
                cairo_fill(cr_);
            }
        }
        cairo_restore(cr_);
    }

    // Labels with their colours in the top right corner.
    void legend(const std::vector<std::pair<std::string, Rgb>>& entries) {
        if (entries.empty()) {
            return;
        }
        cairo_save(cr_);
        cairo_set_font_size(cr_, 12);
        double wide = 0;
        for (const auto& e : entries) {
            cairo_text_extents_t ext;
            cairo_text_extents(cr_, e.first.c_str(), &ext);
            wide = std::max(wide, ext.x_advance);
        }
        const double bw = wide + 40, bh = 18.0 * entries.size() + 8;
        const double bx = x_ + w_ - bw - 8, by = y_ + 8;
        cairo_set_source_rgba(cr_, 1, 1, 1, 0.85);
        cairo_rectangle(cr_, bx, by, bw, bh);
        cairo_fill_preserve(cr_);
        cairo_set_source_rgb(cr_, 0.6, 0.6, 0.6);
        cairo_set_line_width(cr_, 1);
        cairo_stroke(cr_);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Rgb c = entries[i].second;
            const double ly = by + 14 + 18.0 * i;
            cairo_set_source_rgb(cr_, c.r, c.g, c.b);
            cairo_set_line_width(cr_, 3);
            cairo_move_to(cr_, bx + 6, ly - 4);
            cairo_line_to(cr_, bx + 28, ly - 4);
            cairo_stroke(cr_);
            cairo_set_source_rgb(cr_, 0.1, 0.1, 0.1);
            cairo_move_to(cr_, bx + 34, ly);
            cairo_show_text(cr_, entries[i].first.c_str());
        }
        cairo_restore(cr_);
    }

private:
    static std::string number(double v) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", std::abs(v) < 1e-9 ? 0.0 : v);
        return text;
    }

    static std::vector<std::pair<double, bool>> ticks(double lo, double hi, bool log) {
        std::vector<std::pair<double, bool>> out;
        if (log) {
            for (double decade = std::pow(10.0, std::floor(std::log10(lo))); decade <= hi;
                 decade *= 10) {
                for (int m = 1; m <= 9; ++m) {
                    const double v = decade * m;
                    if (v >= lo * 0.999 && v <= hi * 1.001) {
                        out.emplace_back(v, m == 1 || m == 2 || m == 5);
                    }
                }
            }
            return out;
        }
        const double span = hi - lo;
        const double raw = span / 8;
        const double p = std::pow(10.0, std::floor(std::log10(raw)));
        const double step = raw / p < 2 ? 2 * p : raw / p < 5 ? 5 * p : 10 * p;
        for (double v = std::ceil(lo / step) * step; v <= hi + step * 1e-6; v += step) {
            out.emplace_back(v, true);
        }
        return out;
    }

    void line(double ax, double ay, double bx, double by, double grey) {
        cairo_set_source_rgb(cr_, grey, grey, grey);
        cairo_move_to(cr_, std::round(ax) + 0.5, std::round(ay) + 0.5);
        cairo_line_to(cr_, std::round(bx) + 0.5, std::round(by) + 0.5);
        cairo_stroke(cr_);
    }

    void text(const std::string& s, double x, double y, double align) {
        cairo_text_extents_t ext;
        cairo_text_extents(cr_, s.c_str(), &ext);
        cairo_set_source_rgb(cr_, 0.1, 0.1, 0.1);
        cairo_move_to(cr_, x - align * ext.x_advance, y);
        cairo_show_text(cr_, s.c_str());
    }

    cairo_t* cr_;
    double x_, y_, w_, h_;
    double x0_ = 0, x1_ = 1, y0_ = 0, y1_ = 1;
    bool xlog_ = false, ylog_ = false;
};

// A white picture with the title on top, handed to `draw`, then saved as PNG.
void drawPicture(const std::string& path, int width, int height, const std::string& title,
                 const std::function<void(cairo_t*)>& draw) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height),
                    cairo_surface_destroy);
    Context cr(cairo_create(surface.get()), cairo_destroy);
    cairo_set_source_rgb(cr.get(), 0.97, 0.97, 0.97);
    cairo_paint(cr.get());
    cairo_select_font_face(cr.get(), "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                           CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr.get(), 16);
    cairo_set_source_rgb(cr.get(), 0.05, 0.05, 0.05);
    cairo_text_extents_t ext;
    cairo_text_extents(cr.get(), title.c_str(), &ext);
    cairo_move_to(cr.get(), (width - ext.x_advance) / 2, 26);
    cairo_show_text(cr.get(), title.c_str());
    draw(cr.get());
    cairo_surface_flush(surface.get());
    const std::string temporary = path + ".part";
    if (cairo_surface_write_to_png(surface.get(), temporary.c_str()) != CAIRO_STATUS_SUCCESS ||
        std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        throw std::runtime_error("cannot write '" + path + "'");
    }
}

template <class Result>
std::vector<std::pair<std::string, Rgb>> legendOf(const std::vector<Curve<Result>>& curves) {
    std::vector<std::pair<std::string, Rgb>> entries;
    for (std::size_t i = 0; i < curves.size(); ++i) {
        if (!curves[i].label.empty()) {
            entries.emplace_back(curves[i].label, curveColour(i));
        }
    }
    return entries;
}

// A range that shows every value with a margin and spans at least `minimum`.
std::pair<double, double> rangeOf(double lo, double hi, double minimum) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) {
        return {-minimum / 2, minimum / 2};
    }
    if (hi - lo < minimum) {
        const double mid = (lo + hi) / 2;
        return {mid - minimum / 2, mid + minimum / 2};
    }
    const double pad = (hi - lo) * 0.08;
    return {lo - pad, hi + pad};
}

} // namespace

bool plotsAvailable() {
    return true;
}

void plotResponse(const std::string& path, const std::string& title,
                  const std::vector<Curve<ResponseResult>>& curves) {
    drawPicture(path, 1200, 860, "Frequency response (-40 dBFS sweep)  |  " + title,
                [&](cairo_t* cr) {
                    double lo = INFINITY, hi = -INFINITY, fLo = 20, fHi = 20000;
                    for (const auto& c : curves) {
                        for (const auto& p : c.result->points) {
                            if (p.gainDb > kFloorDb) {
                                lo = std::min(lo, p.gainDb);
                                hi = std::max(hi, p.gainDb);
                            }
                        }
                        if (!c.result->points.empty()) {
                            fHi = c.result->points.back().hz;
                        }
                    }
                    const auto [y0, y1] = rangeOf(lo, hi, 2.0);
                    Panel gain(cr, 90, 70, 1070, 430);
                    gain.xRange(fLo, fHi, true);
                    gain.yRange(y0, y1, false);
                    gain.axes("Gain", "frequency (Hz)", "gain (dB)");
                    Panel phase(cr, 90, 580, 1070, 210);
                    phase.xRange(fLo, fHi, true);
                    phase.yRange(-180, 180, false);
                    phase.axes("Phase", "frequency (Hz)", "phase (degrees)");
                    for (std::size_t i = 0; i < curves.size(); ++i) {
                        std::vector<std::pair<double, double>> g, ph;
                        for (const auto& p : curves[i].result->points) {
                            g.emplace_back(p.hz, p.gainDb);
                            // A jump of more than half a turn is a wrap, not a step: break the line
                            // there.
                            if (!ph.empty() && std::abs(p.phaseDeg - ph.back().second) > 180) {
                                ph.emplace_back(p.hz, NAN);
                            }
                            ph.emplace_back(p.hz, p.phaseDeg);
                        }
                        gain.curve(g, curveColour(i), 2.0);
                        phase.curve(ph, curveColour(i), 2.0);
                    }
                    gain.legend(legendOf(curves));
                });
}

void plotHarmonics(const std::string& path, const std::string& title, int rate,
                   const std::vector<Curve<HarmonicsResult>>& curves) {
    drawPicture(path, 1400, 640, "Harmonics of a 1 kHz sine  |  " + title, [&](cairo_t* cr) {
        Panel spectrum(cr, 90, 70, 760, 480);
        spectrum.xRange(20, rate / 2.0, true);
        spectrum.yRange(-160, 10, false);
        spectrum.axes("Output spectrum at -6 dBFS", "frequency (Hz)", "level re fundamental (dB)");
        double thdLo = INFINITY, thdHi = -INFINITY;
        for (const auto& c : curves) {
            for (const auto& row : c.result->rows) {
                if (row.thdPercent > 0 && std::isfinite(row.thdPercent)) {
                    thdLo = std::min(thdLo, row.thdPercent);
                    thdHi = std::max(thdHi, row.thdPercent);
                }
            }
        }
        if (!std::isfinite(thdLo)) {
            thdLo = 1e-4, thdHi = 100;
        }
        Panel thd(cr, 980, 70, 380, 480);
        thd.xRange(-40, 0, false);
        thd.yRange(std::pow(10.0, std::floor(std::log10(thdLo))),
                   std::pow(10.0, std::ceil(std::log10(std::max(thdHi, thdLo * 10)))), true);
        thd.axes("THD against input level", "input level (dBFS)", "THD (%)");
        for (std::size_t i = 0; i < curves.size(); ++i) {
            // The loudest bin under each pixel column, so narrow lines survive the reduction.
            const auto& db = curves[i].result->spectrumDb;
            const double binHz = curves[i].result->binHz;
            std::vector<std::pair<double, double>> line;
            for (int column = 0; column < static_cast<int>(spectrum.width()); ++column) {
                const double f0 = 20 * std::pow(rate / 40.0, column / spectrum.width());
                const double f1 = 20 * std::pow(rate / 40.0, (column + 1) / spectrum.width());
                auto k0 = static_cast<std::size_t>(f0 / binHz);
                auto k1 = std::max(k0 + 1, static_cast<std::size_t>(f1 / binHz));
                double best = -INFINITY;
                for (std::size_t k = k0; k < k1 && k < db.size(); ++k) {
                    best = std::max(best, static_cast<double>(db[k]));
                }
                if (std::isfinite(best)) {
                    line.emplace_back(f0, best);
                }
            }
            spectrum.curve(line, curveColour(i), 1.2);
            thd.measured(curves[i].result->rows, &HarmonicsRow::inputDbfs,
                         &HarmonicsRow::thdPercent, curveColour(i));
        }
        spectrum.legend(legendOf(curves));
    });
}

void plotLevels(const std::string& path, const std::string& title, int rate,
                const std::vector<Curve<LevelsResult>>& curves) {
    drawPicture(path, 1400, 640, "Levels of a 1 kHz sine  |  " + title, [&](cairo_t* cr) {
        double lo = INFINITY, hi = -INFINITY, peak = 0.5;
        for (const auto& c : curves) {
            for (const auto& p : c.result->curve) {
                if (p[1] > kFloorDb) {
                    lo = std::min(lo, p[1]);
                    hi = std::max(hi, p[1]);
                }
            }
            for (double v : c.result->scopeOutput) {
                peak = std::max(peak, std::abs(v));
            }
        }
        const auto [y0, y1] = rangeOf(std::min(lo, -60.0), std::max(hi, 6.0), 10.0);
        Panel transfer(cr, 90, 70, 640, 480);
        transfer.xRange(-60, 6, false);
        transfer.yRange(y0, y1, false);
        transfer.axes("Output against input level (RMS)", "input level (dBFS)",
                      "output level (dBFS)");
        transfer.curve({{-60, -60}, {6, 6}}, {0.55, 0.55, 0.55}, 1.2, true);
        Panel scope(cr, 860, 70, 500, 480);
        const double periodMs = 1.0;
        scope.xRange(0, periodMs, false);
        scope.yRange(-peak * 1.1, peak * 1.1, false);
        scope.axes("One period at -6 dBFS (dashed: input)", "time (ms)",
                   "amplitude (full scale 1)");
        for (std::size_t i = 0; i < curves.size(); ++i) {
            std::vector<std::pair<double, double>> points, in, out;
            for (const auto& p : curves[i].result->curve) {
                points.emplace_back(p[0], p[1]);
            }
            transfer.curve(points, curveColour(i), 2.0);
            const auto& r = *curves[i].result;
            for (std::size_t k = 0; k < r.scopeOutput.size(); ++k) {
                const double ms = 1000.0 * static_cast<double>(k) / rate;
                in.emplace_back(ms, r.scopeInput[k]);
                out.emplace_back(ms, r.scopeOutput[k]);
            }
            if (i == 0) {
                scope.curve(in, {0.55, 0.55, 0.55}, 1.2, true);
            }
            scope.curve(out, curveColour(i), 2.0);
        }
        transfer.legend(legendOf(curves));
    });
}

void plotAliasing(const std::string& path, const std::string& title,
                  const std::vector<Curve<AliasingResult>>& curves) {
    const int maps = static_cast<int>(std::max<std::size_t>(1, curves.size()));
    // With several levels, each tone's worst over them.
    std::vector<std::vector<AliasRow>> worst(curves.size());
    std::string levels;
    for (std::size_t i = 0; i < curves.size(); ++i) {
        for (const AliasRow& row : curves[i].result->rows) {
            auto same = std::find_if(worst[i].begin(), worst[i].end(),
                                     [&](const AliasRow& w) { return w.toneHz == row.toneHz; });
            if (same == worst[i].end()) {
                worst[i].push_back(row);
            } else if (row.worstAliasDb > same->worstAliasDb) {
                *same = row;
            }
        }
    }
    if (!curves.empty()) {
        for (double db : curves[0].result->levelsDbfs) {
            char text[16];
            std::snprintf(text, sizeof text, "%g", db);
            levels += (levels.empty() ? "" : ", ") + std::string(text);
        }
    }
    drawPicture(
        path, 1400, 980, "Aliasing at " + (levels.empty() ? "-6" : levels) + " dBFS  |  " + title,
        [&](cairo_t* cr) {
            double lo = INFINITY, hi = -INFINITY;
            for (const auto& c : curves) {
                for (const auto& row : c.result->rows) {
                    lo = std::min(lo, row.worstAliasDb);
                    hi = std::max(hi, row.worstAliasDb);
                }
            }
            const auto [y0, y1] = rangeOf(std::max(lo, -160.0), std::max(hi, -150.0), 20.0);
            Panel tones(cr, 90, 70, 1270, 260);
            tones.xRange(500, 20000, true);
            tones.yRange(y0, y1, false);
            tones.axes("Strongest alias of a pure tone", "tone frequency (Hz)",
                       "alias re tone (dB)");
            for (std::size_t i = 0; i < curves.size(); ++i) {
                tones.measured(worst[i], &AliasRow::toneHz, &AliasRow::worstAliasDb,
                               curveColour(i));
            }
            tones.legend(legendOf(curves));

            // Spectrograms side by side, one per swept value, and one colour bar.
            const double top = 410, height = 480, gap = 70;
            const double width = (1180 - gap * (maps - 1)) / maps;
            for (std::size_t i = 0; i < curves.size(); ++i) {
                const Spectrogram& s = curves[i].result->sweep;
                Panel map(cr, 90 + i * (width + gap), top, width, height);
                const double seconds = s.frames * s.hopSeconds;
                map.xRange(0, std::max(seconds, 1e-3), false);
                map.yRange(s.lowHz, s.binHz * (s.bins - 1), true);
                map.axes("Log sweep, " + hzText(s.lowHz) + " to " + hzText(s.highHz) + " Hz" +
                             (curves[i].label.empty() ? "" : ": " + curves[i].label),
                         "time (s)", "frequency (Hz)");
                const int w = static_cast<int>(width), h = static_cast<int>(height);
                Surface image(cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h),
                              cairo_surface_destroy);
                auto* pixels = cairo_image_surface_get_data(image.get());
                const int stride = cairo_image_surface_get_stride(image.get());
                for (int row = 0; row < h; ++row) {
                    const double hz =
                        s.lowHz * std::pow(s.binHz * (s.bins - 1) / s.lowHz, 1.0 - (row + 0.5) / h);
                    const auto bin =
                        std::min<int>(s.bins - 1, static_cast<int>(std::lround(hz / s.binHz)));
                    for (int col = 0; col < w; ++col) {
                        const int frame = std::min(s.frames - 1, col * s.frames / std::max(w, 1));
                        const double db = frame >= 0
                                              ? s.db[static_cast<std::size_t>(frame) * s.bins + bin]
                                              : kFloorDb;
                        const Rgb c = mapColour(db);
                        auto* px = reinterpret_cast<std::uint32_t*>(pixels + row * stride) + col;
                        *px = (static_cast<std::uint32_t>(c.r * 255) << 16) |
                              (static_cast<std::uint32_t>(c.g * 255) << 8) |
                              static_cast<std::uint32_t>(c.b * 255);
                    }
                }
                cairo_surface_mark_dirty(image.get());
                cairo_set_source_surface(cr, image.get(), map.left(), map.top());
                cairo_paint(cr);
            }
            // Colour bar, 0 dB (the loudest cell) at the top.
            const double bx = 1292, bw = 22;
            for (int row = 0; row < static_cast<int>(height); ++row) {
                const Rgb c = mapColour(-kMapSpanDb * (row + 0.5) / height);
                cairo_set_source_rgb(cr, c.r, c.g, c.b);
                cairo_rectangle(cr, bx, top + row, bw, 1);
                cairo_fill(cr);
            }
            cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
            cairo_set_font_size(cr, 12);
            for (int db = 0; db >= -static_cast<int>(kMapSpanDb); db -= 20) {
                char text[16];
                std::snprintf(text, sizeof text, "%d dB", db);
                cairo_move_to(cr, bx + bw + 4, top + height * (-db / kMapSpanDb) + 4);
                cairo_show_text(cr, text);
            }
        });
}

} // namespace gravelix::analysis

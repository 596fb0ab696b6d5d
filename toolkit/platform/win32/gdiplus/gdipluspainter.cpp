#include "gdipluspainter.h"

#include "cbitmap.h"
#include "gdiplusbitmap.h"
#include "gdiplusglobals.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace Toolkit::Win32Platform {

Gdiplus::ARGB gdiplusColor(const CColor& color, float globalAlpha) {
    const float scale = std::clamp(globalAlpha, 0.0f, 1.0f);
    const auto alpha = static_cast<Gdiplus::ARGB>(std::lround(color.alpha * scale));
    return alpha << 24 | static_cast<Gdiplus::ARGB>(color.red) << 16 |
           static_cast<Gdiplus::ARGB>(color.green) << 8 | color.blue;
}

namespace {
std::vector<Gdiplus::PointF> shifted(const CDrawContext& state, const CPoint* points,
                                     std::int32_t count) {
    std::vector<Gdiplus::PointF> out;
    out.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        out.emplace_back(static_cast<Gdiplus::REAL>(points[i].x + state.offset().x),
                         static_cast<Gdiplus::REAL>(points[i].y + state.offset().y));
    }
    return out;
}

// A rectangle moved by the context's offset, in GDI+ units.
struct Box {
    Gdiplus::REAL x, y, w, h;
};

Box shifted(const CDrawContext& state, const CRect& r) {
    return {static_cast<Gdiplus::REAL>(r.left + state.offset().x),
            static_cast<Gdiplus::REAL>(r.top + state.offset().y),
            static_cast<Gdiplus::REAL>(r.width()), static_cast<Gdiplus::REAL>(r.height())};
}
} // namespace

GdiplusPainter::GdiplusPainter(Gdiplus::GpGraphics* graphics) : gfx(graphics) {
    GDIPlusGlobals::acquire();
    if (!gfx) {
        return;
    }
    check(Gdip::GdipSetInterpolationMode(gfx, Gdiplus::InterpolationModeLowQuality));
    check(Gdip::GdipSetPageUnit(gfx, Gdiplus::UnitPixel));
    check(Gdip::GdipSetPixelOffsetMode(gfx, Gdiplus::PixelOffsetModeHalf));
    check(Gdip::GdipCreatePen1(0xFF000000, 1.0f, Gdiplus::UnitPixel, &pen));
    check(Gdip::GdipCreateSolidFill(0xFF000000, &fillBrush));
    check(Gdip::GdipCreateSolidFill(0xFF000000, &fontBrush));
}

GdiplusPainter::~GdiplusPainter() {
    if (fontBrush) {
        Gdip::GdipDeleteBrush(fontBrush);
    }
    if (fillBrush) {
        Gdip::GdipDeleteBrush(fillBrush);
    }
    if (pen) {
        Gdip::GdipDeletePen(pen);
    }
    if (gfx) {
        Gdip::GdipDeleteGraphics(gfx);
    }
    GDIPlusGlobals::release();
}

void GdiplusPainter::check(Gdiplus::GpStatus status) {
    if (status != Gdiplus::Ok) {
        lastStatus = status;
    }
}

bool GdiplusPainter::begin(const CDrawContext& state) {
    if (!gfx) {
        return false;
    }
    const CRect& clip = state.deviceClipRect();
    if (clip.isEmpty()) {
        return false;
    }
    check(Gdip::GdipSetClipRect(
        gfx, static_cast<Gdiplus::REAL>(clip.left), static_cast<Gdiplus::REAL>(clip.top),
        static_cast<Gdiplus::REAL>(clip.width()), static_cast<Gdiplus::REAL>(clip.height()),
        Gdiplus::CombineModeReplace));
    const int mode = state.drawMode() == kAntiAliasing ? 1 : 0;
    if (mode != smoothing) {
        check(Gdip::GdipSetSmoothingMode(gfx, mode ? Gdiplus::SmoothingModeAntiAlias
                                                   : Gdiplus::SmoothingModeNone));
        smoothing = mode;
    }
    return true;
}

void GdiplusPainter::usePen(const CDrawContext& state) {
    const double width = state.lineWidth() > 0.0 ? state.lineWidth() : 1.0;
    check(Gdip::GdipSetPenWidth(pen, static_cast<Gdiplus::REAL>(width)));
    check(Gdip::GdipSetPenColor(pen, gdiplusColor(state.frameColor(), state.globalAlpha())));
    check(Gdip::GdipSetPenDashStyle(pen, state.lineStyle() == kLineOnOffDash
                                             ? Gdiplus::DashStyleDash
                                             : Gdiplus::DashStyleSolid));
}

void GdiplusPainter::useFill(const CDrawContext& state, const CColor& color) {
    check(Gdip::GdipSetSolidFillColor(fillBrush, gdiplusColor(color, state.globalAlpha())));
}

void GdiplusPainter::line(const CDrawContext& state, const CPoint& from, const CPoint& to) {
    if (!pen || !begin(state)) {
        return;
    }
    usePen(state);
    const CPoint& o = state.offset();
    check(Gdip::GdipDrawLine(gfx, pen, static_cast<Gdiplus::REAL>(from.x + o.x),
                             static_cast<Gdiplus::REAL>(from.y + o.y),
                             static_cast<Gdiplus::REAL>(to.x + o.x),
                             static_cast<Gdiplus::REAL>(to.y + o.y)));
}

void GdiplusPainter::lines(const CDrawContext& state, const CPoint* points, std::int32_t count) {
    if (!points || count < 2) {
        return;
    }
    for (std::int32_t i = 0; i + 1 < count; i += 2) {
        line(state, points[i], points[i + 1]);
    }
}

void GdiplusPainter::polygon(const CDrawContext& state, const CPoint* points, std::int32_t count,
                             DrawStyle style) {
    if (!points || count < 2 || !pen || !fillBrush || !begin(state)) {
        return;
    }
    const auto corners = shifted(state, points, count);
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        useFill(state, state.fillColor());
        check(Gdip::GdipFillPolygon(gfx, fillBrush, corners.data(), count,
                                    Gdiplus::FillModeAlternate));
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked) {
        usePen(state);
        check(Gdip::GdipDrawPolygon(gfx, pen, corners.data(), count));
    }
}

void GdiplusPainter::rect(const CDrawContext& state, const CRect& r, DrawStyle style) {
    if (r.isEmpty() || !pen || !fillBrush || !begin(state)) {
        return;
    }
    const auto [x, y, w, h] = shifted(state, r);
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        useFill(state, state.fillColor());
        check(Gdip::GdipFillRectangle(gfx, fillBrush, x, y, w, h));
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked) {
        // The stroke stays inside the rectangle, as on the other back-ends.
        usePen(state);
        const auto line = static_cast<Gdiplus::REAL>(state.lineWidth() > 0 ? state.lineWidth() : 1);
        check(Gdip::GdipDrawRectangle(gfx, pen, x + line / 2, y + line / 2, w - line, h - line));
    }
}

void GdiplusPainter::arc(const CDrawContext& state, const CRect& r, double startAngle,
                         double endAngle, DrawStyle style) {
    if (r.isEmpty() || !pen || !fillBrush || !begin(state)) {
        return;
    }
    const auto [x, y, w, h] = shifted(state, r);
    const auto start = static_cast<Gdiplus::REAL>(startAngle);
    const auto sweep = static_cast<Gdiplus::REAL>(endAngle - startAngle);
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        useFill(state, state.fillColor());
        check(Gdip::GdipFillPie(gfx, fillBrush, x, y, w, h, start, sweep));
    }
    if (style == kDrawStroked) {
        usePen(state);
        check(Gdip::GdipDrawArc(gfx, pen, x, y, w, h, start, sweep));
    } else if (style == kDrawFilledAndStroked) {
        usePen(state);
        check(Gdip::GdipDrawPie(gfx, pen, x, y, w, h, start, sweep));
    }
}

void GdiplusPainter::ellipse(const CDrawContext& state, const CRect& r, DrawStyle style) {
    if (r.isEmpty() || !pen || !fillBrush || !begin(state)) {
        return;
    }
    const auto [x, y, w, h] = shifted(state, r);
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        useFill(state, state.fillColor());
        check(Gdip::GdipFillEllipse(gfx, fillBrush, x, y, w, h));
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked) {
        usePen(state);
        check(Gdip::GdipDrawEllipse(gfx, pen, x, y, w, h));
    }
}

void GdiplusPainter::point(const CDrawContext& state, const CPoint& where, const CColor& color) {
    if (!fillBrush || !begin(state)) {
        return;
    }
    useFill(state, color);
    check(Gdip::GdipFillRectangle(
        gfx, fillBrush, static_cast<Gdiplus::REAL>(std::floor(where.x + state.offset().x)),
        static_cast<Gdiplus::REAL>(std::floor(where.y + state.offset().y)), 1.0f, 1.0f));
}

void GdiplusPainter::bitmap(const CDrawContext& state, CBitmap* bitmap, const CRect& dest,
                            const CPoint& sourceOffset, float alpha) {
    const float opacity = std::min(1.0f, alpha * state.globalAlpha());
    if (!(opacity > 0.0f) || !gfx || !bitmap || !bitmap->platformBitmap() ||
        !bitmap->platformBitmap()->isKindOf("GdiplusBitmap")) {
        return;
    }
    Gdiplus::GpBitmap* image = static_cast<GdiplusBitmap*>(bitmap->platformBitmap())->image();
    if (!image || !begin(state)) {
        return;
    }
    // Pixel-aligned: the destination and the context offset are truncated separately, and the
    // image is never scaled, only a window of it shown.
    const INT x = static_cast<INT>(dest.left) + static_cast<INT>(state.offset().x);
    const INT y = static_cast<INT>(dest.top) + static_cast<INT>(state.offset().y);
    const INT w = static_cast<INT>(dest.width());
    const INT h = static_cast<INT>(dest.height());
    const INT sourceX = static_cast<INT>(sourceOffset.x);
    const INT sourceY = static_cast<INT>(sourceOffset.y);
    if (w <= 0 || h <= 0) {
        return;
    }
    Gdiplus::GpImageAttributes* attributes = nullptr;
    if (opacity < 1.0f && Gdip::GdipCreateImageAttributes(&attributes) == Gdiplus::Ok) {
        Gdiplus::ColorMatrix matrix{};
        for (int i = 0; i < 5; ++i) {
            matrix.m[i][i] = 1.0f;
        }
        matrix.m[3][3] = opacity;
        check(Gdip::GdipSetImageAttributesColorMatrix(attributes, Gdiplus::ColorAdjustTypeDefault,
                                                      TRUE, &matrix, nullptr,
                                                      Gdiplus::ColorMatrixFlagsDefault));
    }
    check(Gdip::GdipDrawImageRectRectI(gfx, image, x, y, w, h, sourceX, sourceY, w, h,
                                       Gdiplus::UnitPixel, attributes, nullptr, nullptr));
    if (attributes) {
        Gdip::GdipDisposeImageAttributes(attributes);
    }
}

void GdiplusPainter::flush() {
    if (gfx) {
        check(Gdip::GdipFlush(gfx, Gdiplus::FlushIntentionSync));
    }
}

} // namespace Toolkit::Win32Platform

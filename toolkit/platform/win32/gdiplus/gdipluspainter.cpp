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
// Every coordinate is multiplied out to device pixels here rather than through a world
// transform: GDI+ implementations disagree on whether a pixel-unit pen follows the transform.
// At 1x the products equal the operands, so 1x drawing is unchanged.
Gdiplus::REAL device(double units, double scale) {
    return static_cast<Gdiplus::REAL>(units * scale);
}

std::vector<Gdiplus::PointF> shifted(const CDrawContext& state, const CPoint* points,
                                     std::int32_t count) {
    const double s = state.scaleFactor();
    std::vector<Gdiplus::PointF> out;
    out.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; i < count; ++i) {
        out.emplace_back(device(points[i].x + state.offset().x, s),
                         device(points[i].y + state.offset().y, s));
    }
    return out;
}

// A rectangle moved by the context's offset, in device pixels.
struct Box {
    Gdiplus::REAL x, y, w, h;
};

Box shifted(const CDrawContext& state, const CRect& r) {
    const double s = state.scaleFactor();
    return {device(r.left + state.offset().x, s), device(r.top + state.offset().y, s),
            device(r.width(), s), device(r.height(), s)};
}

double penWidth(const CDrawContext& state) {
    return (state.lineWidth() > 0.0 ? state.lineWidth() : 1.0) * state.scaleFactor();
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
    const double s = state.scaleFactor();
    check(Gdip::GdipSetClipRect(gfx, device(clip.left, s), device(clip.top, s),
                                device(clip.width(), s), device(clip.height(), s),
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
    check(Gdip::GdipSetPenWidth(pen, static_cast<Gdiplus::REAL>(penWidth(state))));
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
    const double s = state.scaleFactor();
    check(Gdip::GdipDrawLine(gfx, pen, device(from.x + o.x, s), device(from.y + o.y, s),
                             device(to.x + o.x, s), device(to.y + o.y, s)));
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
        const auto line = static_cast<Gdiplus::REAL>(penWidth(state));
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
    // One unit square: s x s pixels above 1x.
    const double s = state.scaleFactor();
    check(Gdip::GdipFillRectangle(gfx, fillBrush, device(std::floor(where.x + state.offset().x), s),
                                  device(std::floor(where.y + state.offset().y), s), device(1.0, s),
                                  device(1.0, s)));
}

void GdiplusPainter::bitmap(const CDrawContext& state, CBitmap* bitmap, const CRect& dest,
                            const CPoint& sourceOffset, float alpha) {
    const float opacity = std::min(1.0f, alpha * state.globalAlpha());
    if (!(opacity > 0.0f) || !gfx || !bitmap) {
        return;
    }
    const double s = state.scaleFactor();
    double pixelsPerUnit = 1.0;
    auto* platform =
        imageOfKind<GdiplusBitmap>(bitmap->platformBitmapFor(s, pixelsPerUnit), "GdiplusBitmap");
    Gdiplus::GpBitmap* image = platform ? platform->image() : nullptr;
    if (!image || !begin(state)) {
        return;
    }
    // Pixel-aligned: the destination and the context offset are truncated separately, and at
    // 1x the image is never scaled, only a window of it shown.
    const INT x = static_cast<INT>(dest.left) + static_cast<INT>(state.offset().x);
    const INT y = static_cast<INT>(dest.top) + static_cast<INT>(state.offset().y);
    const INT w = static_cast<INT>(dest.width());
    const INT h = static_cast<INT>(dest.height());
    const INT sourceX = static_cast<INT>(sourceOffset.x);
    const INT sourceY = static_cast<INT>(sourceOffset.y);
    if (w <= 0 || h <= 0) {
        return;
    }
    // Exactly as many image pixels per device pixel draws them unfiltered; any other ratio
    // filters, mirrored at the edges of the source window so no neighbouring filmstrip frame
    // bleeds in.
    const bool oneToOne = s == pixelsPerUnit;
    Gdiplus::GpImageAttributes* attributes = nullptr;
    if ((opacity < 1.0f || !oneToOne) &&
        Gdip::GdipCreateImageAttributes(&attributes) == Gdiplus::Ok) {
        if (opacity < 1.0f) {
            Gdiplus::ColorMatrix matrix{};
            for (int i = 0; i < 5; ++i) {
                matrix.m[i][i] = 1.0f;
            }
            matrix.m[3][3] = opacity;
            check(Gdip::GdipSetImageAttributesColorMatrix(
                attributes, Gdiplus::ColorAdjustTypeDefault, TRUE, &matrix, nullptr,
                Gdiplus::ColorMatrixFlagsDefault));
        }
        if (!oneToOne) {
            check(Gdip::GdipSetImageAttributesWrapMode(attributes, Gdiplus::WrapModeTileFlipXY, 0,
                                                       FALSE));
        }
    }
    if (s == 1.0) {
        check(Gdip::GdipDrawImageRectRectI(gfx, image, x, y, w, h, sourceX, sourceY, w, h,
                                           Gdiplus::UnitPixel, attributes, nullptr, nullptr));
    } else {
        Gdiplus::InterpolationMode previous = Gdiplus::InterpolationModeLowQuality;
        check(Gdip::GdipGetInterpolationMode(gfx, &previous));
        check(Gdip::GdipSetInterpolationMode(
            gfx, oneToOne ? Gdiplus::InterpolationModeNearestNeighbor
                          : Gdiplus::InterpolationModeHighQualityBicubic));
        const double ppu = pixelsPerUnit;
        Gdiplus::REAL left = device(sourceX, ppu);
        Gdiplus::REAL top = device(sourceY, ppu);
        const Gdiplus::REAL width = device(w, ppu);
        const Gdiplus::REAL height = device(h, ppu);
        // A filter reaches past the source window into the next filmstrip frame, whatever the
        // wrap mode says on some GDI+ versions: it gets a copy of that window alone, whose own
        // edges the wrap mode extends.
        Gdiplus::GpBitmap* part = nullptr;
        const CPoint full = platform->size();
        if (!oneToOne && (left > 0 || top > 0 || width < full.x || height < full.y)) {
            Gdiplus::PixelFormat format = PixelFormat32bppPARGB;
            Gdip::GdipGetImagePixelFormat(image, &format);
            if (Gdip::GdipCloneBitmapArea(left, top, width, height, format, image, &part) ==
                Gdiplus::Ok) {
                left = 0;
                top = 0;
            } else {
                part = nullptr;
            }
        }
        check(Gdip::GdipDrawImageRectRect(gfx, part ? part : image, device(x, s), device(y, s),
                                          device(w, s), device(h, s), left, top, width, height,
                                          Gdiplus::UnitPixel, attributes, nullptr, nullptr));
        if (part) {
            Gdip::GdipDisposeImage(part);
        }
        check(Gdip::GdipSetInterpolationMode(gfx, previous));
    }
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

#include "gdipluspainter.h"

#include "cbitmap.h"
#include "gdiplusbitmap.h"
#include "gdiplusglobals.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace Toolkit::Win32Platform {

Gdiplus::ARGB gdiplusColor(const CColor& color, float globalAlpha) {
    const float scale = std::clamp(globalAlpha, 0.0f, 1.0f);
    const auto alpha = static_cast<Gdiplus::ARGB>(std::lround(color.alpha * scale));
    return alpha << 24 | static_cast<Gdiplus::ARGB>(color.red) << 16 |
           static_cast<Gdiplus::ARGB>(color.green) << 8 | color.blue;
}

namespace {
// Pixels as `draw` paints them into a transparent surface of wide x high through a graphics set
// up as the painter's own, or null. Into a GDI+ bitmap of straight colours when the painter draws
// into bitmaps, else into a device context, as a window's: GDI+ blends into the two on
// different paths, each of which the kept part must take to come out as if filtered there.
std::shared_ptr<GdiplusBitmap::Resampled>
resampleOnce(int wide, int high, bool intoBitmap,
             const std::function<void(Gdiplus::GpGraphics*)>& draw) {
    if (wide <= 0 || high <= 0 || wide > 32767 || high > 32767) {
        return nullptr;
    }
    auto made = std::make_shared<GdiplusBitmap::Resampled>();
    made->width = wide;
    made->height = high;
    made->straight = intoBitmap;
    auto drawInto = [&](Gdiplus::GpGraphics* graphics) {
        Gdip::GdipSetPageUnit(graphics, Gdiplus::UnitPixel);
        Gdip::GdipSetPixelOffsetMode(graphics, Gdiplus::PixelOffsetModeHalf);
        Gdip::GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeHighQualityBicubic);
        draw(graphics);
        Gdip::GdipFlush(graphics, Gdiplus::FlushIntentionSync);
        Gdip::GdipDeleteGraphics(graphics);
    };
    if (intoBitmap) {
        made->data.assign(static_cast<std::size_t>(wide) * high, 0u);
        Gdiplus::GpBitmap* surface = nullptr;
        Gdiplus::GpGraphics* graphics = nullptr;
        bool drawn = false;
        if (Gdip::GdipCreateBitmapFromScan0(wide, high, wide * 4, PixelFormat32bppARGB,
                                            reinterpret_cast<BYTE*>(made->data.data()),
                                            &surface) == Gdiplus::Ok &&
            surface) {
            if (Gdip::GdipGetImageGraphicsContext(surface, &graphics) == Gdiplus::Ok && graphics) {
                drawInto(graphics);
                drawn = true;
            }
            Gdip::GdipDisposeImage(surface);
        }
        return drawn ? made : nullptr;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = wide;
    info.bmiHeader.biHeight = -high; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP surface = dc ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    bool drawn = false;
    if (surface && bits) {
        HGDIOBJ before = SelectObject(dc, surface);
        Gdiplus::GpGraphics* graphics = nullptr;
        if (Gdip::GdipCreateFromHDC(dc, &graphics) == Gdiplus::Ok && graphics) {
            drawInto(graphics);
            GdiFlush();
            const auto* from = static_cast<const std::uint32_t*>(bits);
            made->data.assign(from, from + static_cast<std::size_t>(wide) * high);
            drawn = true;
        }
        SelectObject(dc, before);
    }
    if (surface) {
        DeleteObject(surface);
    }
    if (dc) {
        DeleteDC(dc);
    }
    return drawn ? made : nullptr;
}

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

GdiplusPainter::GdiplusPainter(Gdiplus::GpGraphics* graphics, bool bitmapTarget)
    : gfx(graphics), intoBitmap(bitmapTarget) {
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
        const Gdiplus::REAL sourceLeft = device(sourceX, ppu);
        const Gdiplus::REAL sourceTop = device(sourceY, ppu);
        const Gdiplus::REAL width = device(w, ppu);
        const Gdiplus::REAL height = device(h, ppu);
        const CPoint full = platform->size();
        auto drawPart = [&](Gdiplus::GpGraphics* into, Gdiplus::REAL toX, Gdiplus::REAL toY) {
            // A filter reaches past the source window into the next filmstrip frame, whatever
            // the wrap mode says on some GDI+ versions: it gets a copy of that window alone,
            // whose own edges the wrap mode extends.
            Gdiplus::REAL left = sourceLeft;
            Gdiplus::REAL top = sourceTop;
            Gdiplus::GpBitmap* part = nullptr;
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
            check(Gdip::GdipDrawImageRectRect(into, part ? part : image, toX, toY, device(w, s),
                                              device(h, s), left, top, width, height,
                                              Gdiplus::UnitPixel, attributes, nullptr, nullptr));
            if (part) {
                Gdip::GdipDisposeImage(part);
            }
        };
        // Resampling the part on every paint is what made in-between sizes slow: the image
        // keeps it resampled from the whole device pixel at or before the destination, so a
        // copy at that pixel is drawing it filtered here, up to GDI+'s rounding of positions
        // far from the origin (a few levels). With an opacity the colour matrix would apply
        // before the filter, so those parts are still filtered on each paint.
        std::shared_ptr<const GdiplusBitmap::Resampled> kept;
        const Gdiplus::REAL deviceX = device(x, s);
        const Gdiplus::REAL deviceY = device(y, s);
        const double originX = std::floor(deviceX);
        const double originY = std::floor(deviceY);
        if (!oneToOne && opacity >= 1.0f) {
            const ScaledImageKey key{s,
                                     sourceLeft,
                                     sourceTop,
                                     sourceLeft + width,
                                     sourceTop + height,
                                     static_cast<double>(w),
                                     static_cast<double>(h),
                                     deviceX - originX,
                                     deviceY - originY,
                                     intoBitmap ? 1 : 0};
            const int wide = static_cast<int>(std::ceil((x + w) * s) - originX);
            const int high = static_cast<int>(std::ceil((y + h) * s) - originY);
            kept = platform->resampled(key, [&] {
                return resampleOnce(wide, high, intoBitmap, [&](Gdiplus::GpGraphics* into) {
                    drawPart(into, static_cast<Gdiplus::REAL>(deviceX - originX),
                             static_cast<Gdiplus::REAL>(deviceY - originY));
                });
            });
        }
        Gdiplus::GpBitmap* copy = nullptr;
        if (kept &&
            Gdip::GdipCreateBitmapFromScan0(
                kept->width, kept->height, kept->width * 4,
                kept->straight ? PixelFormat32bppARGB : PixelFormat32bppPARGB,
                reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(kept->data.data())),
                &copy) == Gdiplus::Ok &&
            copy) {
            check(Gdip::GdipSetInterpolationMode(gfx, Gdiplus::InterpolationModeNearestNeighbor));
            check(Gdip::GdipDrawImageRectRectI(gfx, copy, static_cast<INT>(originX),
                                               static_cast<INT>(originY), kept->width, kept->height,
                                               0, 0, kept->width, kept->height, Gdiplus::UnitPixel,
                                               nullptr, nullptr, nullptr));
            Gdip::GdipDisposeImage(copy);
        } else {
            drawPart(gfx, deviceX, deviceY);
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

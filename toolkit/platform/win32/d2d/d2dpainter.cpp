#include "d2dpainter.h"

#include "cbitmap.h"
#include "d2dbitmap.h"
#include "d2dbitmapcache.h"
#include "d2dglobals.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace Toolkit::Win32Platform {

namespace {
D2D1_RECT_F deviceRect(const CRect& r) {
    return {static_cast<FLOAT>(r.left), static_cast<FLOAT>(r.top), static_cast<FLOAT>(r.right),
            static_cast<FLOAT>(r.bottom)};
}

D2D1_POINT_2F devicePoint(const CDrawContext& state, const CPoint& p, double align) {
    return {static_cast<FLOAT>(p.x + state.offset().x + align),
            static_cast<FLOAT>(p.y + state.offset().y + align)};
}

double lineWidthOf(const CDrawContext& state) {
    return state.lineWidth() > 0.0 ? state.lineWidth() : 1.0;
}
} // namespace

D2D1_RENDER_TARGET_PROPERTIES renderTargetProperties(DXGI_FORMAT format) {
    D2D1_RENDER_TARGET_PROPERTIES properties{};
    properties.type = D2D1_RENDER_TARGET_TYPE_DEFAULT;
    properties.pixelFormat = {format, D2D1_ALPHA_MODE_PREMULTIPLIED};
    properties.dpiX = 96.0f;
    properties.dpiY = 96.0f;
    return properties;
}

D2DPainter::D2DPainter(RenderTargetMaker targetMaker, const D2DBitmap* drawnBitmap)
    : maker(std::move(targetMaker)), drawn(drawnBitmap) {
    makeTarget();
}

D2DPainter::~D2DPainter() {
    if (drawing && renderTarget) {
        renderTarget->EndDraw();
    }
    dropTarget();
}

void D2DPainter::makeTarget() {
    if (renderTarget || !maker) {
        return;
    }
    // The maker's reference becomes ours (not Attach: some ComPtr versions add one there).
    *renderTarget.ReleaseAndGetAddressOf() = maker();
    antialias = -1;
}

void D2DPainter::dropTarget() {
    if (!renderTarget) {
        return;
    }
    // Device resources belong to their target: go with it, and free its cache slots, so a
    // later target at the same address cannot find them.
    solidBrush.Reset();
    D2DBitmapCache::forgetTarget(renderTarget.Get());
    renderTarget.Reset();
}

void D2DPainter::beginDraw() {
    makeTarget();
    if (!renderTarget || drawing) {
        return;
    }
    renderTarget->BeginDraw();
    const D2D1_MATRIX_3X2_F identity = {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};
    renderTarget->SetTransform(&identity);
    transformScale = 1.0;
    drawing = true;
}

void D2DPainter::endDraw() {
    if (!renderTarget || !drawing) {
        return;
    }
    drawing = false;
    renderTarget->Flush(nullptr, nullptr);
    endResult = renderTarget->EndDraw(nullptr, nullptr);
    if (endResult == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        dropTarget();
        makeTarget();
    }
    // Device copies of the image drawn into show the old pixels: every end of drawing makes
    // them stale, not only a recreated target.
    if (drawn) {
        D2DBitmapCache::forgetBitmap(drawn);
    }
}

void D2DPainter::useScale(const CDrawContext& state) {
    // Everything, clips and stroke widths included, is given in units; the target's transform
    // multiplies them out to device pixels.
    const double s = state.scaleFactor();
    if (s == transformScale) {
        return;
    }
    const auto f = static_cast<FLOAT>(s);
    const D2D1_MATRIX_3X2_F scaling = {f, 0.0f, 0.0f, f, 0.0f, 0.0f};
    renderTarget->SetTransform(&scaling);
    transformScale = s;
}

bool D2DPainter::begin(const CDrawContext& state) {
    if (!renderTarget || !drawing) {
        return false;
    }
    const CRect& clip = state.deviceClipRect();
    if (clip.isEmpty()) {
        return false;
    }
    useScale(state);
    const D2D1_RECT_F area = deviceRect(clip);
    renderTarget->PushAxisAlignedClip(&area, D2D1_ANTIALIAS_MODE_ALIASED);
    const int mode = state.drawMode() == kAntiAliasing ? 1 : 0;
    if (mode != antialias) {
        renderTarget->SetAntialiasMode(mode ? D2D1_ANTIALIAS_MODE_PER_PRIMITIVE
                                            : D2D1_ANTIALIAS_MODE_ALIASED);
        antialias = mode;
    }
    return true;
}

void D2DPainter::end() {
    renderTarget->PopAxisAlignedClip();
}

ID2D1SolidColorBrush* D2DPainter::brush(const CDrawContext& state, const CColor& color) {
    const float alpha = std::clamp(state.globalAlpha(), 0.0f, 1.0f);
    const D2D1_COLOR_F value = {color.red / 255.0f, color.green / 255.0f, color.blue / 255.0f,
                                color.alpha / 255.0f * alpha};
    if (!solidBrush) {
        if (FAILED(
                renderTarget->CreateSolidColorBrush(&value, nullptr, solidBrush.GetAddressOf()))) {
            return nullptr;
        }
    } else {
        solidBrush->SetColor(&value);
    }
    return solidBrush.Get();
}

ID2D1StrokeStyle* D2DPainter::stroke(const CDrawContext& state) {
    if (state.lineStyle() != kLineOnOffDash) {
        return nullptr;
    }
    if (!dashStyle) {
        D2D1_STROKE_STYLE_PROPERTIES properties{};
        properties.lineJoin = D2D1_LINE_JOIN_MITER;
        properties.miterLimit = 10.0f;
        properties.dashStyle = D2D1_DASH_STYLE_DASH;
        if (ID2D1Factory* factory = D2DGlobals::factory()) {
            factory->CreateStrokeStyle(&properties, nullptr, 0, dashStyle.GetAddressOf());
        }
    }
    return dashStyle.Get();
}

double D2DPainter::strokeAlign(const CDrawContext& state) const {
    // Half a pixel for odd-width aliased strokes, so 1-pixel lines cover whole pixels.
    if (state.drawMode() == kAntiAliasing) {
        return 0.0;
    }
    return std::fmod(std::round(lineWidthOf(state)), 2.0) == 1.0 ? 0.5 : 0.0;
}

void D2DPainter::line(const CDrawContext& state, const CPoint& from, const CPoint& to) {
    if (!begin(state)) {
        return;
    }
    const double a = strokeAlign(state);
    if (ID2D1SolidColorBrush* b = brush(state, state.frameColor())) {
        renderTarget->DrawLine(devicePoint(state, from, a), devicePoint(state, to, a), b,
                               static_cast<FLOAT>(lineWidthOf(state)), stroke(state));
    }
    end();
}

void D2DPainter::path(const CDrawContext& state, const D2D1_POINT_2F* points, std::size_t count,
                      bool closed, DrawStyle style) {
    ID2D1Factory* factory = D2DGlobals::factory();
    ComPtr<ID2D1PathGeometry> geometry;
    ComPtr<ID2D1GeometrySink> sink;
    if (!factory || count < 2 || FAILED(factory->CreatePathGeometry(geometry.GetAddressOf())) ||
        FAILED(geometry->Open(sink.GetAddressOf()))) {
        return;
    }
    sink->BeginFigure(points[0],
                      style == kDrawStroked ? D2D1_FIGURE_BEGIN_HOLLOW : D2D1_FIGURE_BEGIN_FILLED);
    sink->AddLines(points + 1, static_cast<UINT32>(count - 1));
    sink->EndFigure(closed ? D2D1_FIGURE_END_CLOSED : D2D1_FIGURE_END_OPEN);
    if (FAILED(sink->Close())) {
        return;
    }
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        if (ID2D1SolidColorBrush* b = brush(state, state.fillColor())) {
            renderTarget->FillGeometry(geometry.Get(), b, nullptr);
        }
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked) {
        if (ID2D1SolidColorBrush* b = brush(state, state.frameColor())) {
            renderTarget->DrawGeometry(geometry.Get(), b, static_cast<FLOAT>(lineWidthOf(state)),
                                       stroke(state));
        }
    }
}

void D2DPainter::polygon(const CDrawContext& state, const CPoint* points, std::int32_t count,
                         DrawStyle style) {
    if (!points || count < 2 || !begin(state)) {
        return;
    }
    const double a = style == kDrawFilled ? 0.0 : strokeAlign(state);
    std::vector<D2D1_POINT_2F> corners;
    for (std::int32_t i = 0; i < count; ++i) {
        corners.push_back(devicePoint(state, points[i], a));
    }
    path(state, corners.data(), corners.size(), true, style);
    end();
}

void D2DPainter::rect(const CDrawContext& state, const CRect& r, DrawStyle style) {
    if (r.isEmpty() || !begin(state)) {
        return;
    }
    CRect moved = r;
    moved.offset(state.offset());
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        const D2D1_RECT_F area = deviceRect(moved);
        if (ID2D1SolidColorBrush* b = brush(state, state.fillColor())) {
            renderTarget->FillRectangle(&area, b);
        }
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked) {
        // The stroke stays inside the rectangle, so filled-and-stroked covers exactly `r`.
        const double half = lineWidthOf(state) / 2.0;
        const D2D1_RECT_F inner = {
            static_cast<FLOAT>(moved.left + half), static_cast<FLOAT>(moved.top + half),
            static_cast<FLOAT>(moved.right - half), static_cast<FLOAT>(moved.bottom - half)};
        if (ID2D1SolidColorBrush* b = brush(state, state.frameColor())) {
            renderTarget->DrawRectangle(&inner, b, static_cast<FLOAT>(lineWidthOf(state)),
                                        stroke(state));
        }
    }
    end();
}

void D2DPainter::arc(const CDrawContext& state, const CRect& r, double startAngle, double endAngle,
                     DrawStyle style, bool fullEllipse) {
    if (r.isEmpty() || !begin(state)) {
        return;
    }
    // Line segments fine enough that no pixel shows a corner.
    const double cx = (r.left + r.right) / 2.0 + state.offset().x;
    const double cy = (r.top + r.bottom) / 2.0 + state.offset().y;
    const double rx = r.width() / 2.0;
    const double ry = r.height() / 2.0;
    const double sweep = endAngle - startAngle;
    const int steps = std::clamp(
        static_cast<int>(std::ceil(std::fabs(sweep) / 360.0 * std::max(rx, ry) * 4.0)), 8, 1024);
    std::vector<D2D1_POINT_2F> points;
    const bool pie = !fullEllipse && style != kDrawStroked;
    if (pie) {
        points.push_back({static_cast<FLOAT>(cx), static_cast<FLOAT>(cy)});
    }
    for (int i = 0; i <= steps; ++i) {
        const double angle = (startAngle + sweep * i / steps) * std::numbers::pi / 180.0;
        points.push_back({static_cast<FLOAT>(cx + rx * std::cos(angle)),
                          static_cast<FLOAT>(cy + ry * std::sin(angle))});
    }
    path(state, points.data(), points.size(), fullEllipse || pie, style);
    end();
}

void D2DPainter::point(const CDrawContext& state, const CPoint& where, const CColor& color) {
    if (!begin(state)) {
        return;
    }
    const double x = std::floor(where.x + state.offset().x);
    const double y = std::floor(where.y + state.offset().y);
    const D2D1_RECT_F pixel = {static_cast<FLOAT>(x), static_cast<FLOAT>(y),
                               static_cast<FLOAT>(x + 1), static_cast<FLOAT>(y + 1)};
    if (ID2D1SolidColorBrush* b = brush(state, color)) {
        renderTarget->FillRectangle(&pixel, b);
    }
    end();
}

void D2DPainter::bitmap(const CDrawContext& state, CBitmap* bitmap, const CRect& dest,
                        const CPoint& sourceOffset, float alpha) {
    const float opacity = std::min(1.0f, alpha * state.globalAlpha());
    if (!(opacity > 0.0f) || !bitmap || !renderTarget || !drawing) {
        return;
    }
    const double s = state.scaleFactor();
    double pixelsPerUnit = 1.0;
    auto* platform =
        imageOfKind<D2DBitmap>(bitmap->platformBitmapFor(s, pixelsPerUnit), "D2DBitmap");
    ID2D1Bitmap* device = platform ? D2DBitmapCache::get(platform, renderTarget.Get()) : nullptr;
    if (!device || !begin(state)) {
        return;
    }
    CRect to = dest;
    to.offset(state.offset());
    if (s == 1.0) {
        const D2D1_RECT_F target = deviceRect(to);
        const D2D1_RECT_F source = {static_cast<FLOAT>(sourceOffset.x),
                                    static_cast<FLOAT>(sourceOffset.y),
                                    static_cast<FLOAT>(sourceOffset.x + dest.width()),
                                    static_cast<FLOAT>(sourceOffset.y + dest.height())};
        renderTarget->DrawBitmap(device, &target, opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                                 &source);
    } else {
        // Above 1x on whole units (the transform makes them pixels); the source window in the
        // variant's own pixels. Exactly one image pixel per device pixel copies unfiltered.
        const double x = std::trunc(dest.left) + std::trunc(state.offset().x);
        const double y = std::trunc(dest.top) + std::trunc(state.offset().y);
        const double w = std::trunc(dest.width());
        const double h = std::trunc(dest.height());
        const double ppu = pixelsPerUnit;
        const double sx = std::trunc(sourceOffset.x) * ppu;
        const double sy = std::trunc(sourceOffset.y) * ppu;
        if (w > 0.0 && h > 0.0) {
            const bool exact = s == ppu;
            const D2D1_RECT_F target = {static_cast<FLOAT>(x), static_cast<FLOAT>(y),
                                        static_cast<FLOAT>(x + w), static_cast<FLOAT>(y + h)};
            D2D1_RECT_F source = {static_cast<FLOAT>(sx), static_cast<FLOAT>(sy),
                                  static_cast<FLOAT>(sx + w * ppu),
                                  static_cast<FLOAT>(sy + h * ppu)};
            ComPtr<ID2D1Bitmap> part;
            if (!exact) {
                part = sourceWindow(platform, source, platform->size());
            }
            if (part) {
                source = {0.0f, 0.0f, source.right - source.left, source.bottom - source.top};
            }
            renderTarget->DrawBitmap(part ? part.Get() : device, &target, opacity,
                                     exact ? D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR
                                           : D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                                     &source);
        }
    }
    end();
}

ComPtr<ID2D1Bitmap> D2DPainter::sourceWindow(const D2DBitmap* image, const D2D1_RECT_F& source,
                                             const CPoint& imageSize) {
    // Linear filtering reaches half a pixel past the source rectangle, into the next filmstrip
    // frame; a bitmap of that rectangle alone is clamped at its own edges instead.
    ComPtr<ID2D1Bitmap> part;
    if (source.left < 0.0f || source.top < 0.0f || source.right > imageSize.x ||
        source.bottom > imageSize.y ||
        (source.left == 0.0f && source.top == 0.0f && source.right == imageSize.x &&
         source.bottom == imageSize.y)) {
        return part; // the whole image, or not inside it: drawn as it is
    }
    const D2D1_RECT_U area = {static_cast<UINT32>(source.left), static_cast<UINT32>(source.top),
                              static_cast<UINT32>(source.right),
                              static_cast<UINT32>(source.bottom)};
    part = D2DBitmapCache::window(image, renderTarget.Get(), area);
    return part;
}

void D2DPainter::clear(const CDrawContext& state, const CRect& rect) {
    if (!renderTarget || !drawing || rect.isEmpty()) {
        return;
    }
    // Exactly the given rectangle, whatever the stored clip says.
    CRect moved = rect;
    moved.offset(state.offset());
    const D2D1_RECT_F area = deviceRect(moved);
    useScale(state);
    renderTarget->PushAxisAlignedClip(&area, D2D1_ANTIALIAS_MODE_ALIASED);
    const D2D1_COLOR_F transparentWhite = {1.0f, 1.0f, 1.0f, 0.0f};
    renderTarget->Clear(&transparentWhite);
    renderTarget->PopAxisAlignedClip();
}

} // namespace Toolkit::Win32Platform

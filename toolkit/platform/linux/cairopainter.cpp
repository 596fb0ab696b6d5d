#include "cairopainter.h"

#include "cairobitmap.h"
#include "cbitmap.h"
#include "resourceimage.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Toolkit::LinuxPlatform {

CairoPainter::CairoPainter(cairo_surface_t* target) {
    if (!target || cairo_surface_status(target) != CAIRO_STATUS_SUCCESS) {
        return;
    }
    surface = cairo_surface_reference(target);
    cr = cairo_create(surface);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) {
        cairo_destroy(cr);
        cr = nullptr;
    }
}

CairoPainter::~CairoPainter() {
    if (cr) {
        cairo_destroy(cr);
    }
    if (surface) {
        cairo_surface_destroy(surface);
    }
}

bool CairoPainter::begin(const CDrawContext& state) {
    if (!cr) {
        return false;
    }
    const CRect& clip = state.deviceClipRect();
    if (clip.isEmpty()) {
        return false;
    }
    cairo_save(cr);
    // Above 1x every call draws in units that many device pixels large.
    if (const double scale = state.scaleFactor(); scale != 1.0) {
        cairo_scale(cr, scale, scale);
    }
    // The clip follows the pixel grid (pixel centres inside), as the integer clips of the
    // window system do; shapes antialias only when the draw mode asks for it.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_rectangle(cr, clip.left, clip.top, clip.width(), clip.height());
    cairo_clip(cr);
    cairo_set_antialias(cr, state.drawMode() == kAntiAliasing ? CAIRO_ANTIALIAS_DEFAULT
                                                              : CAIRO_ANTIALIAS_NONE);
    cairo_translate(cr, state.offset().x, state.offset().y);
    return true;
}

void CairoPainter::end() {
    cairo_restore(cr);
}

void CairoPainter::setColor(const CDrawContext& state, const CColor& color) {
    const double alpha = color.alpha / 255.0 * std::clamp(state.globalAlpha(), 0.0f, 1.0f);
    cairo_set_source_rgba(cr, color.red / 255.0, color.green / 255.0, color.blue / 255.0, alpha);
}

void CairoPainter::setStroke(const CDrawContext& state) {
    const double width = state.lineWidth() > 0.0 ? state.lineWidth() : 1.0;
    cairo_set_line_width(cr, width);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    if (state.lineStyle() == kLineOnOffDash) {
        const double dash = width;
        cairo_set_dash(cr, &dash, 1, 0.0);
    } else {
        cairo_set_dash(cr, nullptr, 0, 0.0);
    }
    setColor(state, state.frameColor());
}

double CairoPainter::strokeAlign(const CDrawContext& state) const {
    if (state.drawMode() == kAntiAliasing) {
        return 0.0;
    }
    const double width = state.lineWidth() > 0.0 ? state.lineWidth() : 1.0;
    return std::fmod(std::round(width), 2.0) == 1.0 ? 0.5 : 0.0;
}

void CairoPainter::finishPath(const CDrawContext& state, DrawStyle style) {
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        setColor(state, state.fillColor());
        if (style == kDrawFilledAndStroked) {
            cairo_fill_preserve(cr);
        } else {
            cairo_fill(cr);
        }
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked) {
        setStroke(state);
        cairo_stroke(cr);
    }
    cairo_new_path(cr);
}

void CairoPainter::line(const CDrawContext& state, const CPoint& from, const CPoint& to) {
    if (!begin(state)) {
        return;
    }
    const double a = strokeAlign(state);
    cairo_move_to(cr, from.x + a, from.y + a);
    cairo_line_to(cr, to.x + a, to.y + a);
    setStroke(state);
    cairo_stroke(cr);
    end();
}

void CairoPainter::lines(const CDrawContext& state, const CPoint* points, std::int32_t count) {
    if (!points || count < 2 || !begin(state)) {
        return;
    }
    const double a = strokeAlign(state);
    for (std::int32_t i = 0; i + 1 < count; i += 2) {
        cairo_move_to(cr, points[i].x + a, points[i].y + a);
        cairo_line_to(cr, points[i + 1].x + a, points[i + 1].y + a);
    }
    setStroke(state);
    cairo_stroke(cr);
    end();
}

void CairoPainter::polygon(const CDrawContext& state, const CPoint* points, std::int32_t count,
                           DrawStyle style) {
    if (!points || count < 2 || !begin(state)) {
        return;
    }
    const double a = style == kDrawFilled ? 0.0 : strokeAlign(state);
    cairo_move_to(cr, points[0].x + a, points[0].y + a);
    for (std::int32_t i = 1; i < count; ++i) {
        cairo_line_to(cr, points[i].x + a, points[i].y + a);
    }
    cairo_close_path(cr);
    finishPath(state, style);
    end();
}

void CairoPainter::rect(const CDrawContext& state, const CRect& r, DrawStyle style) {
    if (r.isEmpty() || !begin(state)) {
        return;
    }
    if (style == kDrawFilled || style == kDrawFilledAndStroked) {
        cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
        setColor(state, state.fillColor());
        cairo_fill(cr);
    }
    if (style == kDrawStroked || style == kDrawFilledAndStroked) {
        // The stroke stays inside the rectangle, so filled-and-stroked covers exactly `r`.
        const double half = (state.lineWidth() > 0.0 ? state.lineWidth() : 1.0) / 2.0;
        cairo_rectangle(cr, r.left + half, r.top + half, r.width() - 2 * half,
                        r.height() - 2 * half);
        setStroke(state);
        cairo_stroke(cr);
    }
    end();
}

void CairoPainter::arc(const CDrawContext& state, const CRect& r, double startAngle,
                       double endAngle, DrawStyle style, bool fullEllipse) {
    if (r.isEmpty() || !begin(state)) {
        return;
    }
    const double toRadians = std::numbers::pi / 180.0;
    cairo_save(cr);
    cairo_translate(cr, (r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0);
    cairo_scale(cr, r.width() / 2.0, r.height() / 2.0);
    if (!fullEllipse && style != kDrawStroked) {
        cairo_move_to(cr, 0.0, 0.0); // a filled arc is a pie slice
    }
    cairo_arc(cr, 0.0, 0.0, 1.0, startAngle * toRadians, endAngle * toRadians);
    if (fullEllipse || style != kDrawStroked) {
        cairo_close_path(cr);
    }
    cairo_restore(cr); // back to pixel units so the stroke width is not scaled
    finishPath(state, style);
    end();
}

void CairoPainter::point(const CDrawContext& state, const CPoint& where, const CColor& color) {
    if (!begin(state)) {
        return;
    }
    cairo_rectangle(cr, std::floor(where.x), std::floor(where.y), 1.0, 1.0);
    setColor(state, color);
    cairo_fill(cr);
    end();
}

void CairoPainter::bitmap(const CDrawContext& state, CBitmap* bitmap, const CRect& dest,
                          const CPoint& sourceOffset, float alpha) {
    const double opacity =
        std::min(1.0, static_cast<double>(alpha) * static_cast<double>(state.globalAlpha()));
    if (!(opacity > 0.0) || !bitmap) {
        return;
    }
    const double scale = state.scaleFactor();
    double pixelsPerUnit = 1.0;
    auto* variant =
        imageOfKind<CairoBitmap>(bitmap->platformBitmapFor(scale, pixelsPerUnit), "CairoBitmap");
    if (!variant) {
        return;
    }
    // Pixel-aligned: destination and offset are truncated separately, then the size; the
    // image is never scaled, only a window of it is shown.
    const double x = std::trunc(dest.left) + std::trunc(state.offset().x);
    const double y = std::trunc(dest.top) + std::trunc(state.offset().y);
    const double width = std::trunc(dest.width());
    const double height = std::trunc(dest.height());
    const double sourceX = std::trunc(sourceOffset.x);
    const double sourceY = std::trunc(sourceOffset.y);
    if (width <= 0.0 || height <= 0.0) {
        return;
    }
    // Only the rows shown need decoding: a filmstrip's other pictures may never be drawn.
    cairo_surface_t* image =
        variant->surfaceFor(static_cast<int>(std::floor(sourceY * pixelsPerUnit)),
                            static_cast<int>(std::ceil((sourceY + height) * pixelsPerUnit)));
    if (!image || !begin(state)) {
        return;
    }
    cairo_identity_matrix(cr); // x and y already carry the offset
    if (scale == 1.0) {
        cairo_rectangle(cr, x, y, width, height);
        cairo_clip(cr);
        cairo_set_source_surface(cr, image, x - sourceX, y - sourceY);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        paintSource(opacity);
        end();
        return;
    }
    cairo_scale(cr, scale, scale);
    cairo_rectangle(cr, x, y, width, height);
    cairo_clip(cr);
    // Only the shown part of the image is a source, so a filter never blends in the next
    // picture of a filmstrip; its edge pixels extend outwards instead.
    const int imageWidth = cairo_image_surface_get_width(image);
    const int imageHeight = cairo_image_surface_get_height(image);
    const double left = std::clamp(sourceX * pixelsPerUnit, 0.0, double(imageWidth));
    const double top = std::clamp(sourceY * pixelsPerUnit, 0.0, double(imageHeight));
    const double right = std::clamp((sourceX + width) * pixelsPerUnit, left, double(imageWidth));
    const double bottom = std::clamp((sourceY + height) * pixelsPerUnit, top, double(imageHeight));
    if (right > left && bottom > top) {
        // Resampling the part on every paint is what made in-between sizes slow; its pixels
        // are kept in device pixels from the whole device pixel at or before the destination,
        // so a copy at that integer position equals drawing it resampled here.
        const double deviceX = x * scale;
        const double deviceY = y * scale;
        const double originX = std::floor(deviceX);
        const double originY = std::floor(deviceY);
        auto paintPart = [&](cairo_t* target) {
            cairo_surface_t* part =
                cairo_surface_create_for_rectangle(image, left, top, right - left, bottom - top);
            cairo_pattern_t* pattern = cairo_pattern_create_for_surface(part);
            cairo_matrix_t toImage;
            cairo_matrix_init_scale(&toImage, pixelsPerUnit, pixelsPerUnit);
            cairo_matrix_translate(&toImage, -(x + (left / pixelsPerUnit - sourceX)),
                                   -(y + (top / pixelsPerUnit - sourceY)));
            cairo_pattern_set_matrix(pattern, &toImage);
            // Exactly the image's own density: its pixels as they are. Otherwise resampled.
            cairo_pattern_set_filter(pattern, scale == pixelsPerUnit ? CAIRO_FILTER_NEAREST
                                                                     : CAIRO_FILTER_GOOD);
            cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
            cairo_set_source(target, pattern);
            cairo_pattern_destroy(pattern);
            cairo_surface_destroy(part);
        };
        ResourceImage* shared = variant->sharedImage();
        cairo_surface_t* resampled = nullptr;
        if (shared && scale != pixelsPerUnit) {
            const ScaledImageKey key{scale,
                                     left,
                                     top,
                                     right,
                                     bottom,
                                     width,
                                     height,
                                     deviceX - originX,
                                     deviceY - originY,
                                     0};
            const int pixelsWide = static_cast<int>(std::ceil((x + width) * scale) - originX);
            const int pixelsHigh = static_cast<int>(std::ceil((y + height) * scale) - originY);
            resampled =
                shared->newResampledSurface(key, pixelsWide, pixelsHigh, [&](cairo_t* target) {
                    // The same clip as here, so that cairo and pixman take the same path.
                    cairo_set_antialias(target, cairo_get_antialias(cr));
                    cairo_translate(target, -originX, -originY);
                    cairo_scale(target, scale, scale);
                    cairo_rectangle(target, x, y, width, height);
                    cairo_clip(target);
                    paintPart(target);
                    cairo_paint(target);
                });
        }
        if (resampled) {
            cairo_identity_matrix(cr);
            cairo_set_source_surface(cr, resampled, originX, originY);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
            paintSource(opacity);
            cairo_surface_destroy(resampled);
        } else {
            paintPart(cr);
            paintSource(opacity);
        }
    }
    end();
}

void CairoPainter::paintSource(double opacity) {
    if (opacity >= 1.0) {
        cairo_paint(cr);
    } else {
        cairo_paint_with_alpha(cr, opacity);
    }
}

void CairoPainter::clear(const CDrawContext& state, const CRect& rect) {
    if (!cr || rect.isEmpty()) {
        return;
    }
    // Clears exactly the given rectangle, whatever the stored clip says.
    cairo_save(cr);
    if (const double scale = state.scaleFactor(); scale != 1.0) {
        cairo_scale(cr, scale, scale);
    }
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_rectangle(cr, rect.left + state.offset().x, rect.top + state.offset().y, rect.width(),
                    rect.height());
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr);
    cairo_restore(cr);
}

void CairoPainter::flush() {
    if (surface) {
        cairo_surface_flush(surface);
    }
}

} // namespace Toolkit::LinuxPlatform

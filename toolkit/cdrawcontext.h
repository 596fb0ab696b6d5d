#pragma once

#include "cbaseobject.h"
#include "ccolor.h"
#include "cpoint.h"
#include "crect.h"

#include <cstdint>
#include <vector>

namespace Toolkit {

class CBitmap;
class CFontDesc;
class CGraphicsPath;
class CGradient;

enum LineStyle : std::int32_t { kLineSolid = 0, kLineOnOffDash = 1 };
enum DrawStyle : std::int32_t { kDrawStroked = 0, kDrawFilled = 1, kDrawFilledAndStroked = 2 };
enum DrawMode : std::int32_t { kAliasing = 0, kAntiAliasing = 1 };

// Drawing state shared by every back-end: clip, offset, colours, global alpha and a state
// stack. Shapes and bitmaps are drawn by the back-end. The clip is kept in device coordinates
// (offset already added) so that moving the offset does not move the clip.
class CDrawContext : public CBaseObject {
public:
    explicit CDrawContext(const CRect& surface);

    virtual void moveTo(const CPoint& point) { currentState.penLoc = point; }
    virtual void lineTo(const CPoint& point) = 0;
    // Each consecutive pair of points is one line.
    virtual void drawLines(const CPoint* points, std::int32_t count) = 0;
    virtual void drawPolygon(const CPoint* points, std::int32_t count, DrawStyle style) = 0;
    virtual void drawRect(const CRect& rect, DrawStyle style) = 0;
    // Angles in degrees, clockwise from the positive x axis.
    virtual void drawArc(const CRect& rect, double startAngle, double endAngle,
                         DrawStyle style) = 0;
    virtual void drawEllipse(const CRect& rect, DrawStyle style) = 0;
    virtual void drawPoint(const CPoint& point, const CColor& color) = 0;
    // Draws the part of the image that starts at `offset` and has the size of `dest` into
    // `dest` (moved by the context offset, clipped), unscaled, at alpha x global alpha.
    virtual void drawBitmap(CBitmap* bitmap, const CRect& dest, const CPoint& offset,
                            float alpha) = 0;
    virtual void clearRect(const CRect& rect) = 0;
    virtual void setLineStyle(LineStyle style) { currentState.lineStyle = style; }
    virtual void setLineWidth(double width) { currentState.lineWidth = width; }
    virtual void setDrawMode(DrawMode mode) { currentState.drawMode = mode; }
    virtual void setClipRect(const CRect& clip);
    virtual void resetClipRect();
    virtual void setFillColor(const CColor& color) { currentState.fillColor = color; }
    virtual void setFrameColor(const CColor& color) { currentState.frameColor = color; }
    virtual void setFontColor(const CColor& color) { currentState.fontColor = color; }
    // Fonts belong to text drawing, which this toolkit leaves to its users.
    virtual void setFont(CFontDesc* font, double size = 0.0, std::int32_t style = -1);
    virtual void setGlobalAlpha(float alpha) { currentState.globalAlpha = alpha; }
    virtual void saveGlobalState();
    virtual void restoreGlobalState();
    virtual void setOffset(const CPoint& offset) { currentState.offset = offset; }
    virtual CGraphicsPath* createGraphicsPath() { return nullptr; }
    virtual void drawGraphicsPath(CGraphicsPath*, DrawStyle) {}
    virtual void fillLinearGradient(CGraphicsPath*, const CGradient&, const CPoint&,
                                    const CPoint&) {}
    virtual void beginDraw() {}
    virtual void endDraw() {}
    virtual void applyDefaults();
    // Device pixels per drawing unit. A window context of a frame above 1x draws every
    // operation that many times larger (its platform frame sets it); the surface rectangle
    // becomes the device surface in units, rounded outwards, and the clip is reset to it.
    // Back-ends that keep their own transform override it and call this one.
    virtual void setScaleFactor(double scale);

    bool isKindOf(const char* className) const override;

    // The clip in the caller's coordinates (the stored one moved back by the offset).
    CRect clipRect() const;
    const CPoint& offset() const { return currentState.offset; }
    float globalAlpha() const { return currentState.globalAlpha; }
    const CColor& fillColor() const { return currentState.fillColor; }
    const CColor& frameColor() const { return currentState.frameColor; }
    const CColor& fontColor() const { return currentState.fontColor; }
    LineStyle lineStyle() const { return currentState.lineStyle; }
    double lineWidth() const { return currentState.lineWidth; }
    DrawMode drawMode() const { return currentState.drawMode; }
    const CPoint& penLocation() const { return currentState.penLoc; }
    CFontDesc* font() const { return currentState.font; }
    const CRect& surfaceRect() const { return surface; }
    // The stored clip in device coordinates, for back-ends (in drawing units: multiply by
    // scaleFactor() for pixels).
    const CRect& deviceClipRect() const { return currentState.clip; }
    double scaleFactor() const { return scale; }

protected:
    struct State {
        CFontDesc* font = nullptr;
        double lineWidth = 1.0;
        CColor frameColor = kWhiteCColor;
        CColor fillColor = kBlackCColor;
        CColor fontColor = kWhiteCColor;
        CPoint offset;
        CPoint penLoc;
        CRect clip;
        LineStyle lineStyle = kLineSolid;
        DrawMode drawMode = kAliasing;
        float globalAlpha = 1.0f;
    };

    CRect surface;
    CRect pixelSurface;
    double scale = 1.0;
    State currentState;
    std::vector<State> stateStack;
};

} // namespace Toolkit

#include "cscalemenu.h"

#include "cdrawcontext.h"
#include "scalefactor.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <string>

namespace Toolkit {

namespace {

constexpr double kBorder = 1.0;
constexpr double kGlyphCell = 2.0; // units per font pixel
constexpr double kTextLeft = 18.0;

const CColor kBackground{38, 38, 42, 255};
const CColor kEdge{150, 150, 150, 255};
const CColor kHover{78, 78, 96, 255};
const CColor kText{235, 235, 235, 255};
const CColor kMark{247, 196, 30, 255};

// 3 x 5 glyphs, one row per 3 bits (top row first, bit 2 the left column).
struct Glyph {
    char c;
    std::array<std::uint8_t, 5> rows;
};
constexpr Glyph kGlyphs[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 3, 1, 7}},
    {'5', {7, 4, 7, 1, 7}}, {'7', {7, 1, 1, 2, 2}}, {'%', {5, 1, 2, 4, 5}},
};

// Blank for a character the menu never shows.
std::array<std::uint8_t, 5> glyph(char c) {
    const auto* found = std::find_if(std::begin(kGlyphs), std::end(kGlyphs),
                                     [c](const Glyph& g) { return g.c == c; });
    return found == std::end(kGlyphs) ? std::array<std::uint8_t, 5>{} : found->rows;
}

std::string label(double scale) {
    return std::to_string(static_cast<int>(scale * 100.0 + 0.5)) + " %";
}

} // namespace

CScaleMenu::CScaleMenu(const CPoint& where, const CRect& area, double currentScale,
                       ChoiceHandler handler)
    : CView(placedAt(where, area)), current(currentScale), onChoice(std::move(handler)) {
    setTransparent(false);
}

CRect CScaleMenu::placedAt(const CPoint& where, const CRect& area) {
    const double height = kRowHeight * kSupportedScaleFactors.size() + 2 * kBorder;
    double left = where.x;
    double top = where.y;
    if (left + kWidth > area.right) {
        left = area.right - kWidth;
    }
    if (top + height > area.bottom) {
        top = area.bottom - height;
    }
    left = std::max(left, area.left);
    top = std::max(top, area.top);
    return {left, top, left + kWidth, top + height};
}

CRect CScaleMenu::rowRect(std::size_t index) {
    const double top = kBorder + kRowHeight * static_cast<double>(index);
    return {kBorder, top, kWidth - kBorder, top + kRowHeight};
}

bool CScaleMenu::isKindOf(const char* className) const {
    return nameIs(className, "CScaleMenu") || CView::isKindOf(className);
}

void CScaleMenu::draw(CDrawContext* context) {
    const CRect box = bounds();
    context->setDrawMode(kAliasing);
    context->setLineWidth(1.0);
    context->setFillColor(kBackground);
    context->setFrameColor(kEdge);
    context->drawRect(box, kDrawFilledAndStroked);
    for (std::size_t i = 0; i < kSupportedScaleFactors.size(); ++i) {
        CRect row = rowRect(i);
        row.offset(box.left, box.top);
        if (static_cast<int>(i) == hovered) {
            context->setFillColor(kHover);
            context->drawRect(row, kDrawFilled);
        }
        const double scale = kSupportedScaleFactors[i];
        if (scale == current) {
            context->setFillColor(kMark);
            const double middle = (row.top + row.bottom) / 2.0;
            context->drawRect(CRect(row.left + 5, middle - 3, row.left + 11, middle + 3),
                              kDrawFilled);
        }
        context->setFillColor(kText);
        double x = row.left + kTextLeft;
        const double y = row.top + (kRowHeight - 5 * kGlyphCell) / 2.0;
        for (const char c : label(scale)) {
            const auto rows = glyph(c);
            for (int gy = 0; gy < 5; ++gy) {
                for (int gx = 0; gx < 3; ++gx) {
                    if (rows[static_cast<std::size_t>(gy)] & (4 >> gx)) {
                        const double px = x + gx * kGlyphCell;
                        const double py = y + gy * kGlyphCell;
                        context->drawRect(CRect(px, py, px + kGlyphCell, py + kGlyphCell),
                                          kDrawFilled);
                    }
                }
            }
            x += 4 * kGlyphCell;
        }
    }
    markDirty(false);
}

int CScaleMenu::rowAt(const CPoint& where) const {
    const CRect box = bounds();
    for (std::size_t i = 0; i < kSupportedScaleFactors.size(); ++i) {
        CRect row = rowRect(i);
        row.offset(box.left, box.top);
        if (where.x >= row.left && where.x < row.right && where.y >= row.top &&
            where.y < row.bottom) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void CScaleMenu::setHovered(int row) {
    if (row != hovered) {
        hovered = row;
        invalidate();
    }
}

MouseResult CScaleMenu::mouseDown(const CPoint& where, const ButtonState& /*buttons*/) {
    pressed = rowAt(where);
    setHovered(pressed);
    return mouseHandled;
}

MouseResult CScaleMenu::mouseMoved(const CPoint& where, const ButtonState& /*buttons*/) {
    setHovered(rowAt(where));
    return mouseHandled;
}

MouseResult CScaleMenu::mouseUp(const CPoint& where, const ButtonState& /*buttons*/) {
    const int row = rowAt(where);
    const bool chosen = row >= 0 && row == pressed;
    pressed = -1;
    if (chosen && onChoice) {
        // The handler may close the menu: keep what it needs on the stack.
        const ChoiceHandler handler = onChoice;
        handler(kSupportedScaleFactors[static_cast<std::size_t>(row)]);
    }
    return mouseHandled;
}

MouseResult CScaleMenu::mouseExited(const CPoint& /*where*/, const ButtonState& /*buttons*/) {
    setHovered(-1);
    return mouseHandled;
}

} // namespace Toolkit

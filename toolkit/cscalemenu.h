// A small pop-up list of the editor sizes (100 % ... 300 %), drawn with the toolkit's own
// rectangles (digits from a 3 x 5 pixel font) so it looks the same on every platform and at
// every scale. The current size carries a mark; a click on a row chooses it.
#pragma once

#include "cview.h"

#include <cstddef>
#include <functional>

namespace Toolkit {

class CScaleMenu : public CView {
public:
    // Told the chosen factor once, after the press and release of a click on a row; the
    // menu removes nothing itself (the owner closes it, which may happen inside this call).
    using ChoiceHandler = std::function<void(double scale)>;

    // A menu with its top-left corner at `where`, moved inside `area` (the frame's bounds) as
    // far as it fits; `current` is marked.
    CScaleMenu(const CPoint& where, const CRect& area, double current, ChoiceHandler onChoice);

    static constexpr double kWidth = 64.0;
    static constexpr double kRowHeight = 16.0;
    // The menu's rectangle placed as the constructor places it.
    static CRect placedAt(const CPoint& where, const CRect& area);
    // Row `index` (in kSupportedScaleFactors order) relative to the menu's top-left corner.
    static CRect rowRect(std::size_t index);

    void draw(CDrawContext* context) override;
    MouseResult mouseDown(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseMoved(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseUp(const CPoint& where, const ButtonState& buttons) override;
    MouseResult mouseExited(const CPoint& where, const ButtonState& buttons) override;
    bool isKindOf(const char* className) const override;
    CBaseObject* clone() const override { return nullptr; }

private:
    // The row under `where` (parent coordinates), or -1.
    int rowAt(const CPoint& where) const;
    void setHovered(int row);

    double current;
    ChoiceHandler onChoice;
    int hovered = -1;
    int pressed = -1;
};

} // namespace Toolkit

#pragma once

#include "crect.h"

#include <cstdint>

namespace Toolkit {

class CFrame;

// What the toolkit asks of the editor that owns a frame. The editor base implements it and
// sets `frame` in its open (null again after its close); the frame is not owned by this.
class ToolkitEditorInterface {
public:
    ToolkitEditorInterface() = default;

    virtual void doIdleStuff() {}
    // 0 circular, 1 relative circular, 2 linear.
    virtual std::int32_t getKnobMode() const { return 0; }
    virtual void beginEdit(std::int32_t /*index*/) {}
    virtual void endEdit(std::int32_t /*index*/) {}
    // May refuse a frame size change (false). Both rectangles are the window's, in device
    // pixels (the frame's units times its scale factor).
    virtual bool beforeSizeChange(const CRect& /*newSize*/, const CRect& /*oldSize*/) {
        return true;
    }
    virtual CFrame* getFrame() const { return frame; }
    virtual ~ToolkitEditorInterface() = default;
    // The system's scale for the frame's window changed (unrounded); the editor decides whether
    // the frame follows.
    virtual void systemScaleChanged(double /*systemScale*/) {}

protected:
    CFrame* frame = nullptr;
};

} // namespace Toolkit

// A platform frame's callback that records the pointer reports it gets, for the X11 and Win32
// frame tests; drawing, the wheel, keys and activation each test records in its own way.
#pragma once

#include "platform/iplatformframe.h"

#include <cstdint>
#include <vector>

namespace Toolkit::Testing {

enum Kind { down, moved, up, exited, wheel, keyDown, keyUp, activate };

struct Event {
    Kind kind;
    CPoint where;
    std::uint32_t buttons = 0;
    float distance = 0; // wheel, where the test keeps it apart
    int detail = 0;     // packed as the test chooses: wheel axis, key code, activate 1/0
};

class FrameRecorder : public IPlatformFrameCallback {
public:
    std::vector<Event> events;
    std::vector<CRect> drawn;

    int count(Kind kind) const {
        int n = 0;
        for (const auto& e : events) {
            n += e.kind == kind;
        }
        return n;
    }
    std::vector<Event> all(Kind kind) const {
        std::vector<Event> found;
        for (const auto& e : events) {
            if (e.kind == kind) {
                found.push_back(e);
            }
        }
        return found;
    }

    MouseResult platformMouseDown(const CPoint& p, const ButtonState& b) override {
        return add(down, p, b);
    }
    MouseResult platformMouseMoved(const CPoint& p, const ButtonState& b) override {
        return add(moved, p, b);
    }
    MouseResult platformMouseUp(const CPoint& p, const ButtonState& b) override {
        return add(up, p, b);
    }
    MouseResult platformMouseExited(const CPoint& p, const ButtonState& b) override {
        return add(exited, p, b);
    }
    DragResult platformDrop(IDataPackage*, const CPoint&) override { return dragRefused; }
    void platformDragEnter(IDataPackage*, const CPoint&) override {}
    void platformDragLeave(IDataPackage*, const CPoint&) override {}
    void platformDragMove(IDataPackage*, const CPoint&) override {}

protected:
    MouseResult add(Kind kind, const CPoint& where, std::uint32_t buttons, float distance = 0,
                    int detail = 0) {
        events.push_back({kind, where, buttons, distance, detail});
        return mouseHandled;
    }
};

} // namespace Toolkit::Testing

#pragma once

#include "cbuttonstate.h"

#include <cstdint>

namespace Toolkit {

class CControl;

// Told about every user change of a control. Not owned by the control; it must outlive it.
class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    // Asked before a press with modifier keys reaches the control; non-zero swallows it.
    virtual std::int32_t modifierClicked(CControl* /*control*/, const ButtonState& /*buttons*/) {
        return 0;
    }
    virtual void editBegan(CControl* /*control*/) {}
    virtual void editEnded(CControl* /*control*/) {}
    virtual void tagWillChange(CControl* /*control*/) {}
    virtual void tagDidChange(CControl* /*control*/) {}
};

} // namespace Toolkit

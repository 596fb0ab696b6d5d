#include "syntheticevents.h"

namespace gravelix::validator {

std::string syntheticEventsUnsupported() {
    return "sent X events do not exist on Windows";
}

void sendSyntheticDrag(host::HostWindow&, int, int, const std::function<void()>&) {}

bool damageEditor(host::HostWindow&) {
    return false;
}

void sendSyntheticExpose(host::HostWindow&) {}

} // namespace gravelix::validator

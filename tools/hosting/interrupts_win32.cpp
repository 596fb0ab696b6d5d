#include "interrupts.h"

#include "editorsession.h"

#include <windows.h>

namespace gravelix::host {

namespace {
// Runs on a thread of its own; the session's wait is short enough to notice the request.
BOOL WINAPI onConsoleEvent(DWORD) {
    EditorSession::stop();
    return TRUE;
}
} // namespace

void stopSessionOnInterrupt() {
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

} // namespace gravelix::host

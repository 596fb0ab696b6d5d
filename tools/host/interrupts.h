// Ending the editor session, not the process, on Ctrl-C or a termination request.
#pragma once

namespace gravelix::host {

// Routes interrupts to EditorSession::stop(): the session's wait wakes up and the editor is
// closed in order before the program ends.
void stopSessionOnInterrupt();

} // namespace gravelix::host

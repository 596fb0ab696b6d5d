// Ending the editor session, not the process, on Ctrl-C or a termination request.
#pragma once

#include <initializer_list>

namespace gravelix::host {

// Routes interrupts to EditorSession::stop(): the session's wait wakes up and the editor is
// closed in order before the program ends.
void stopSessionOnInterrupt();

#ifndef _WIN32
// Installs `handler` for each of `signals` without SA_RESTART, so that a blocking wait for
// events returns when one arrives.
void catchSignals(void (*handler)(int), std::initializer_list<int> signals);
#endif

} // namespace gravelix::host

#include "interrupts.h"

#include "editorsession.h"

#include <csignal>

namespace gravelix::host {

namespace {
void onSignal(int) {
    EditorSession::stop();
}
} // namespace

void stopSessionOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: the event wait must wake up
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace gravelix::host

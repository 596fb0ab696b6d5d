#include "interrupts.h"

#include "editorsession.h"

#include <csignal>

namespace gravelix::host {

namespace {
void onSignal(int) {
    EditorSession::stop();
}
} // namespace

void catchSignals(void (*handler)(int), std::initializer_list<int> signals) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: the event wait must wake up
    for (int number : signals) {
        sigaction(number, &action, nullptr);
    }
}

void stopSessionOnInterrupt() {
    catchSignals(onSignal, {SIGINT, SIGTERM});
}

} // namespace gravelix::host

#include "watchdog.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <unistd.h>

namespace gravelix::analysis {

namespace {

// Written only outside a crash; the handler reads it as it stands.
char crashText[1024];
std::size_t crashLength = 0;

void onCrash(int) {
    if (crashLength > 0) {
        [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, crashText, crashLength);
    }
    _exit(1);
}

} // namespace

void setCrashMessage(const std::string& message) {
    static constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
    crashLength = 0;
    std::snprintf(crashText, sizeof crashText, "%s", message.c_str());
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = message.empty() ? SIG_DFL : onCrash;
    for (int sig : kSignals) {
        sigaction(sig, &action, nullptr);
    }
    crashLength = std::strlen(crashText);
}

} // namespace gravelix::analysis

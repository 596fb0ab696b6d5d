// Guards the X11 test programs against an X server that resets when its last client leaves (a
// plain `xvfb-run -a`): a test's short-lived connections or `xrdb` call would otherwise be the
// last to leave, and the next XOpenDisplay would find no server.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace {

// One connection of the program's own, open from before the first test to the process's end.
struct DisplayHold {
    Display* display = nullptr;
    pid_t owner = getpid();
    DisplayHold() {
        if (!std::getenv("DISPLAY")) {
            return;
        }
        // A server still resetting after the previous test program left refuses for a moment.
        for (int attempt = 0; attempt < 20 && !display; ++attempt) {
            display = XOpenDisplay(nullptr);
            if (!display) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
    }
    // A child forked by a test (the validator isolates checks so) inherits the connection: only
    // the process that opened it may close it, or the child's exit would talk over the parent.
    ~DisplayHold() {
        if (display && getpid() == owner) {
            XCloseDisplay(display);
        }
    }
    DisplayHold(const DisplayHold&) = delete;
    DisplayHold& operator=(const DisplayHold&) = delete;
};

const DisplayHold hold;

} // namespace

// Guards against a count of the X server's resources that ends the validator when another client
// leaves between listing the clients and asking about each (an editor's connection that has just
// closed before the next check counts).
#include "tools/validator/resourceusage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>
// After the test framework: the X headers define macros such as None and Bool.
#include <X11/Xlib.h>

TEST(ResourceCount, SurvivesClientsThatLeaveWhileItCounts) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "no X display";
    }
    gravelix::host::HostWindow window(40, 40, "resources");
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop) {
            if (Display* other = XOpenDisplay(nullptr)) {
                XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 4, 4, 0, 0, 0);
                XCloseDisplay(other);
            }
        }
    });
    for (int i = 0; i < 1000; ++i) {
        EXPECT_GT(gravelix::validator::measureResources(window).windowSystem, 0);
    }
    stop = true;
    churn.join();
}

// Guards against host windows that share one display connection taking each other's events,
// missing that another client destroyed them, or misreporting the editor windows inside them.
#include "tools/hosting/hostwindow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

// After gtest: Xlib's None macro would break its headers.
#include <X11/Xlib.h>

using gravelix::host::HostDisplay;
using gravelix::host::HostWindow;

namespace {

class SharedDisplay : public testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "no X display";
        }
        display = std::make_shared<HostDisplay>();
        other = XOpenDisplay(nullptr);
        ASSERT_NE(other, nullptr);
    }
    void TearDown() override {
        if (other != nullptr) {
            XCloseDisplay(other);
        }
    }

    std::shared_ptr<HostDisplay> display;
    Display* other = nullptr; // another client, as a plug-in's editor is
};

TEST_F(SharedDisplay, EachWindowSeesOnlyItsOwnDestruction) {
    HostWindow a(display, 120, 80, "a", HostWindow::Kind::Bare);
    HostWindow b(display, 120, 80, "b", HostWindow::Kind::Bare);
    XDestroyWindow(other, static_cast<Window>(b.id()));
    XSync(other, False);
    // Whichever pumps first must leave the other's news on the connection.
    for (int i = 0; i < 20; ++i) {
        a.pump(5);
    }
    EXPECT_TRUE(a.alive());
    EXPECT_TRUE(b.alive());
    b.sync();
    EXPECT_FALSE(b.alive());
    EXPECT_TRUE(b.capture().pixels.empty());
    b.resize(50, 50); // a request on the vanished window would end the process
    EXPECT_TRUE(a.alive());
    EXPECT_EQ(a.capture().pixels.size(), std::size_t(120 * 80));
}

TEST_F(SharedDisplay, WindowDestroyedElsewhereAndNeverPumpedGoesQuietly) {
    {
        HostWindow gone(display, 60, 60, "gone", HostWindow::Kind::Bare);
        XDestroyWindow(other, static_cast<Window>(gone.id()));
        XSync(other, False);
    } // destroying it again would end the process through Xlib's error handler
    HostWindow next(display, 60, 60, "next", HostWindow::Kind::Bare);
    next.sync();
    EXPECT_TRUE(next.alive());
}

TEST_F(SharedDisplay, ChildrenAreTheEditorWindowsInside) {
    HostWindow window(display, 100, 60, "parent", HostWindow::Kind::Bare);
    EXPECT_FALSE(window.hasChildren());
    const Window child = XCreateSimpleWindow(other, static_cast<Window>(window.id()), 0, 0, 40, 30,
                                             0, 0, WhitePixel(other, DefaultScreen(other)));
    XMapWindow(other, child);
    XSync(other, False);
    EXPECT_TRUE(window.hasChildren());
    XDestroyWindow(other, child);
    XSync(other, False);
    EXPECT_FALSE(window.hasChildren());
    window.destroy();
    EXPECT_FALSE(window.hasChildren());
    EXPECT_FALSE(window.alive());
}

TEST_F(SharedDisplay, ConnectionOutlivesEveryWindowUntilTheLastHolderLetsGo) {
    std::weak_ptr<HostDisplay> watch = display;
    {
        HostWindow first(display, 40, 40, "first", HostWindow::Kind::Bare);
        { HostWindow second(display, 40, 40, "second", HostWindow::Kind::Bare); }
        EXPECT_TRUE(first.alive());
        first.sync(); // still a working connection after the other window went
    }
    EXPECT_FALSE(watch.expired());
    display.reset();
    EXPECT_TRUE(watch.expired());
}

} // namespace

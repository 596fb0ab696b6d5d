// Guards against editors of two plug-in instances that crash, race or paint a wrong picture when
// they open and close on threads of their own at the same time (shared images included), or when
// an editor left open on one thread is destroyed with its effect on another.
#include "tools/hosting/hostwindow.h"
#include "tools/hosting/pluginhost.h"

#include <gtest/gtest.h>
// After the test framework: the X headers define macros such as None and Bool.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace {

using gravelix::host::HostWindow;
using gravelix::host::Image;
using gravelix::host::PluginHost;

constexpr int kWidth = 270;
constexpr int kHeight = 475;

// Opens the editor, idles until the window shows `expected` (or anything but black when
// `expected` is empty) and closes it again; the picture shown, or an empty one after about
// two seconds without it.
Image showOnce(const PluginHost& plugin, HostWindow& window, const Image& expected) {
    const auto parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window.id()));
    if (plugin.dispatch(effEditOpen, 0, 0, parent) != 1) {
        return {};
    }
    Image shown;
    for (int attempt = 0; attempt < 400; ++attempt) {
        plugin.dispatch(effEditIdle);
        window.pump(0);
        Image now = window.capture();
        const bool painted = expected.pixels.empty()
                                 ? now.pixels[kWidth * (kHeight / 2) + kWidth / 2] != 0
                                 : now == expected;
        if (painted) {
            shown = std::move(now);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    plugin.dispatch(effEditClose);
    window.pump(0);
    return shown;
}

TEST(EditorThreads, TwoInstancesOpenAndCloseEditorsOnTheirOwnThreadsAtOnce) {
    // The picture of program 0's front panel, as one editor alone paints it.
    Image reference;
    {
        HostWindow window(kWidth, kHeight, "reference");
        window.waitMapped();
        PluginHost plugin(GRAVELIX_PLUGIN);
        reference = showOnce(plugin, window, {});
        ASSERT_FALSE(reference.pixels.empty()) << "the editor never painted";
    }

    // Side by side, since the pictures are read from the screen; made here, because libXau's
    // lookup of the display's credentials is not safe while a plug-in connects on another thread.
    HostWindow windowA(kWidth, kHeight, "thread A"), windowB(kWidth, kHeight, "thread B");
    if (Display* d = XOpenDisplay(nullptr)) {
        XMoveWindow(d, windowB.id(), kWidth + 20, 0);
        XSync(d, False);
        XCloseDisplay(d);
    }
    windowA.waitMapped();
    windowB.waitMapped();

    // Every round makes a new instance, so the shared images also go away and come back while
    // the other thread uses them.
    constexpr int kRounds = 3;
    auto run = [&](HostWindow& window, int& shownTimes) {
        for (int round = 0; round < kRounds; ++round) {
            PluginHost plugin(GRAVELIX_PLUGIN);
            for (int open = 0; open < 2; ++open) {
                if (showOnce(plugin, window, reference) == reference) {
                    ++shownTimes;
                }
            }
        }
    };
    int shownA = 0, shownB = 0;
    std::thread a(run, std::ref(windowA), std::ref(shownA));
    std::thread b(run, std::ref(windowB), std::ref(shownB));
    a.join();
    b.join();
    EXPECT_EQ(shownA, 2 * kRounds);
    EXPECT_EQ(shownB, 2 * kRounds);
}

TEST(EditorThreads, AnEditorLeftOpenIsDestroyedWithItsEffectOnAnotherThread) {
    HostWindow window(kWidth, kHeight, "left open");
    window.waitMapped();
    auto plugin = std::make_unique<PluginHost>(GRAVELIX_PLUGIN);
    const auto parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window.id()));
    plugin->dispatch(effEditOpen, 0, 0, parent);
    bool painted = false;
    for (int attempt = 0; attempt < 400 && !painted; ++attempt) {
        plugin->dispatch(effEditIdle);
        painted = window.capture().pixels[kWidth * (kHeight / 2) + kWidth / 2] != 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(painted);
    // effClose elsewhere, the editor still open: its window and this thread's connection go.
    std::thread([&] { plugin.reset(); }).join();
    window.pump(50);

    // This thread's next editor must not find the connection that went.
    PluginHost next(GRAVELIX_PLUGIN);
    EXPECT_FALSE(showOnce(next, window, {}).pixels.empty());
}

} // namespace

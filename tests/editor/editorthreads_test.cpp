// Guards against editors of two plug-in instances that crash, race or paint a wrong picture when
// they open and close on threads of their own at the same time (shared images included), or when
// an editor left open on one thread is destroyed with its effect on another, and against instances
// whose images are still being decoded ahead on another thread when they open or go.
#include "tools/hosting/hostwindow.h"
#include "tools/hosting/pluginhost.h"

#include <gtest/gtest.h>
// After the test framework: the X headers define macros such as None and Bool.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

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

TEST(EditorThreads, InstancesComeAndGoWhileTheirImagesAreDecodedAhead) {
    // The size each editor opens at goes into the settings as the next one's hint.
    const std::string config =
        ::testing::TempDir() + "gravelix-threads-" + std::to_string(getpid());
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    HostWindow window(kWidth, kHeight, "many instances");
    window.waitMapped();
    Image reference;
    {
        PluginHost plugin(GRAVELIX_PLUGIN);
        reference = showOnce(plugin, window, {});
        ASSERT_FALSE(reference.pixels.empty()) << "the editor never painted";
    }
    // Sizes told at once, so the decoding changes course while it runs; some editors open
    // before it ends, and instances go while theirs still runs.
    constexpr float kSizes[] = {1.0f, 1.25f, 1.5f, 2.0f, 3.0f};
    std::vector<std::unique_ptr<PluginHost>> alive;
    int opened = 0, shown = 0;
    for (int i = 0; i < 32; ++i) {
        alive.push_back(std::make_unique<PluginHost>(GRAVELIX_PLUGIN));
        const float size = kSizes[i % 5];
        alive.back()->dispatch(effVendorSpecific, 0x50726553, 0x41654373, nullptr, size);
        if (i % 4 == 0) {
            ++opened;
            // At 1x the picture is the reference one; above, anything but the empty window.
            const Image picture =
                showOnce(*alive.back(), window, size == 1.0f ? reference : Image{});
            shown += picture.pixels.empty() ? 0 : 1;
        }
        if (i % 3 == 2) {
            alive.erase(alive.begin());
        }
    }
    alive.clear();
    EXPECT_EQ(shown, opened);
    std::filesystem::remove_all(config);
}

} // namespace

// Guards against decoding ahead on Windows that crashes or hangs when instances go while it
// works, or that makes an editor opened before it finished show other pixels than a later one.
#include "tools/hosting/editorsession.h"
#include "tools/hosting/pluginhost.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

using namespace gravelix::host;

namespace {

void tellScale(const PluginHost& plugin, float scale) {
    plugin.dispatch(effVendorSpecific, 0x50726553 /* 'PreS' */, 0x41654373 /* 'AeCs' */, nullptr,
                    scale);
}

// The editor's picture once two captures in a row agree.
Image settled(EditorSession& session) {
    session.run(200);
    Image last = session.window().capture();
    for (int i = 0; i < 30; ++i) {
        session.run(100);
        Image next = session.window().capture();
        if (next == last) {
            break;
        }
        last = std::move(next);
    }
    return last;
}

TEST(DecodeAhead, InstancesDroppedWhileItDecodesGoCleanly) {
    // Every size in turn, some instances kept while later ones come and go: the thread is
    // started, moved and stopped mid-image again and again, and the library may be unloaded
    // right after the last one.
    const float sizes[] = {1.25f, 1.5f, 2.0f, 3.0f};
    std::vector<std::unique_ptr<PluginHost>> kept;
    for (int i = 0; i < 32; ++i) {
        auto plugin = std::make_unique<PluginHost>(GRAVELIX_PLUGIN);
        tellScale(*plugin, sizes[i % 4]);
        if (i % 4 == 0) {
            kept.push_back(std::move(plugin));
        }
    }
    kept.clear();
    PluginHost plugin(GRAVELIX_PLUGIN);
    EditorSession session(plugin, 2.0);
    EXPECT_EQ(settled(session).width, 540);
}

TEST(DecodeAhead, AnEditorOpenedBeforeTheThreadFinishedShowsWhatALaterOneShows) {
    Image early;
    Image late;
    {
        PluginHost plugin(GRAVELIX_PLUGIN);
        EditorSession session(plugin, 1.5); // at once: the thread has barely begun
        early = settled(session);
    }
    {
        PluginHost plugin(GRAVELIX_PLUGIN);
        tellScale(plugin, 1.5f);
        Sleep(1500); // everything decoded ahead
        EditorSession session(plugin, 1.5);
        late = settled(session);
    }
    ASSERT_EQ(early.width, 405);
    ASSERT_EQ(late.width, 405);
    int differing = 0;
    for (std::size_t i = 0; i < early.pixels.size() && i < late.pixels.size(); ++i) {
        differing += early.pixels[i] != late.pixels[i] ? 1 : 0;
    }
    EXPECT_EQ(differing, 0);
}

} // namespace

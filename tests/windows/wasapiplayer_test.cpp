// Guards against a Windows player whose audio thread allocates, runs at the wrong process
// level, announces a block size smaller than it plays or lets the time info jump, and against
// device choices that pick the wrong device or fail without saying which.
#include "tools/hosting/pluginhost.h"
#include "tools/hosting/wasapiplayer_win32.h"
#include "tools/validator/rtprobe.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

using gravelix::host::DeviceError;
using gravelix::host::Direction;
using gravelix::host::PluginHost;
using gravelix::validator::RtCounts;
using gravelix::validator::RtProbe;

// The probe's own per-thread flag is made before the watch begins: on Windows its first use
// on a thread allocates.
void enter() {
    (void)RtProbe::inside();
    RtProbe::enter();
}
const PluginHost::ProcessWatch kWatch{enter, RtProbe::leave};

TEST(WasapiPlayer, AudioThreadAnswersThePlugInWithoutAllocatingAtTheRealTimeLevel) {
    // The player's own code answers the plug-in's calls: its heap calls are watched too.
    RtProbe::watchProgram();
    ASSERT_TRUE(RtProbe::allocationsVisible());
    PluginHost plugin(std::string(GRAVELIX_FIXTURE_DIR) + "/fixture_clock.dll");
    plugin.state().setListener([](const gravelix::host::HostCall&) { RtProbe::noteHostCall(); });
    {
        gravelix::host::WasapiPlayer player(plugin, {});
        const RtCounts base = RtProbe::totals();
        PluginHost::setProcessWatch(&kWatch);
        player.start();
        // The device runs its periods in real time; about a second of them.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while ((RtProbe::totals() - base).hostCalls < 600 &&
               std::chrono::steady_clock::now() < deadline && !player.deviceGone()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        player.stop();
        PluginHost::setProcessWatch(nullptr);
        EXPECT_FALSE(player.deviceGone()) << player.goneReason();
        const RtCounts c = RtProbe::totals() - base;
        EXPECT_GE(c.hostCalls, 600u) << "the watch saw too few host calls";
        EXPECT_EQ(c.allocations, 0u);
    }
    char text[512] = {};
    plugin.dispatch(effVendorSpecific, 0, sizeof text, text);
    const std::string report = text;
    // Level 2 (real time) alone inside process, no jump and no block above the announced size.
    EXPECT_NE(report.find("jumps=0 faults=0 levels=4 "), std::string::npos) << report;
    EXPECT_NE(report.find("resumelevel=1 "), std::string::npos) << report;
}

TEST(WasapiDevices, ChoosesByAnyPartOfTheNameOrTheIdAndNamesWhatIsMissing) {
    gravelix::host::ComScope com;
    const auto outputs = gravelix::host::listEndpoints(Direction::Output);
    ASSERT_FALSE(outputs.empty());
    EXPECT_TRUE(outputs.front().isDefault);
    const std::string name = outputs.front().name;
    std::string shouted = name.substr(name.size() / 2);
    for (char& c : shouted) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(gravelix::host::chooseEndpoint(Direction::Output, shouted, true).id,
              outputs.front().id);
    EXPECT_EQ(gravelix::host::chooseEndpoint(Direction::Output, outputs.front().id, true).name,
              name);
    try {
        gravelix::host::chooseEndpoint(Direction::Input, "no such thing", true);
        ADD_FAILURE() << "an input that is not there was chosen";
    } catch (const DeviceError& e) {
        EXPECT_NE(std::string(e.what()).find("no input device matches 'no such thing'"),
                  std::string::npos)
            << e.what();
    }
    // Both directions are listed with a format, and the default marked.
    const std::string listing = gravelix::host::describeEndpoints();
    EXPECT_NE(listing.find("Output devices:\n  * " + name), std::string::npos) << listing;
    EXPECT_NE(listing.find("Input devices:\n  * "), std::string::npos) << listing;
    EXPECT_NE(listing.find(" Hz, "), std::string::npos) << listing;
}

} // namespace

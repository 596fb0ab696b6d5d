// Guards against a host callback that allocates, locks or makes system calls when a plug-in
// calls it from its audio path in render, bench or play: what the validator fails plug-ins for.
#include "livesupport.h"
#include "testsupport.h"
#include "tools/hosting/jackplayer.h"
#include "tools/hosting/pluginbench.h"
#include "tools/hosting/pluginhost.h"
#include "tools/hosting/renderer.h"
#include "tools/validator/rtprobe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

using gravelix::host::PluginHost;
using gravelix::validator::RtCounts;
using gravelix::validator::RtProbe;

namespace {

const std::string kClock = std::string(FIXTURE_DIR) + "/hostfixture_clock.so";

thread_local bool trapTried = false;
std::atomic<bool> trapArmed{false};

// The first block on a thread arms the system-call trap there (outside the watch), so it
// must be a thread of its own: the trap stays until the thread ends.
void enter() {
    if (!trapTried) {
        trapTried = true;
        std::string why;
        if (RtProbe::armSyscallTrap(&why)) {
            trapArmed = true;
        }
    }
    RtProbe::enter();
}
void leave() {
    RtProbe::leave();
}
const PluginHost::ProcessWatch kWatch{enter, leave};

// Watches every process call made while alive; the counts are what happened inside them.
class Watched {
public:
    Watched() : base_(RtProbe::totals()) {
        trapArmed = false;
        PluginHost::setProcessWatch(&kWatch);
    }
    ~Watched() { PluginHost::setProcessWatch(nullptr); }
    RtCounts counts() const { return RtProbe::totals() - base_; }

private:
    RtCounts base_;
};

// The clock fixture calls the host several times a block, so no host calls would mean the
// watch saw nothing; the plug-in itself allocates, locks and calls the system nowhere there.
void expectClean(const RtCounts& c, bool expectTrap) {
    EXPECT_GT(c.hostCalls, 0u) << "the watch saw no host call";
    EXPECT_EQ(c.allocations, 0u);
    EXPECT_EQ(c.locks, 0u);
    EXPECT_EQ(c.syscalls, 0u) << "first: " << c.firstSyscall;
    if (expectTrap && !trapArmed) {
        std::printf("system calls not watched: the trap could not be armed here\n");
    }
}

// Each plug-in's calls into the host count as host calls, as in the validator.
void countHostCalls(PluginHost& plugin) {
    plugin.state().setListener([](const gravelix::host::HostCall&) { RtProbe::noteHostCall(); });
}

TEST(RealTimeCallback, RenderAsksTheHostFromProcessWithoutAllocatingLockingOrSystemCalls) {
    toolstest::TempDir dir;
    toolstest::writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000,
                          toolstest::testSignal(2 * 48000));
    Watched watched;
    std::thread([&] {
        PluginHost plugin(kClock);
        countHostCalls(plugin);
        gravelix::host::RenderOptions options;
        options.progress = false;
        options.blockFrames = 333;
        gravelix::host::renderFile(plugin, dir / "in.wav", dir / "out.wav", options);
    }).join();
    expectClean(watched.counts(), true);
}

TEST(RealTimeCallback, BenchAsksTheHostFromProcessWithoutAllocatingLockingOrSystemCalls) {
    Watched watched;
    std::thread([&] {
        gravelix::host::BenchOptions options;
        options.seconds = 0.05;
        options.passes = 2;
        options.instances = 1;
        gravelix::host::benchPlugin(kClock, options);
    }).join();
    // bench's own plug-in host records calls without a listener: no host-call count, but
    // the audio thread's own work is what matters here.
    const RtCounts c = watched.counts();
    EXPECT_EQ(c.allocations, 0u);
    EXPECT_EQ(c.locks, 0u);
    EXPECT_EQ(c.syscalls, 0u) << "first: " << c.firstSyscall;
}

TEST(RealTimeCallback, PlayAsksTheHostFromJacksThreadWithoutAllocatingLockingOrSystemCalls) {
    livetest::PrivateServer server(256, 48000);
    ASSERT_TRUE(server.ready()) << "jackd did not come up";
    PluginHost plugin(kClock);
    countHostCalls(plugin);
    {
        Watched watched;
        gravelix::host::JackPlayer player(plugin, server.name());
        player.start();
        // The dummy backend runs periods whether or not anything is connected.
        for (int waited = 0; watched.counts().hostCalls < 200 && waited < 500 * 60; ++waited) {
            usleep(2000);
        }
        player.stop();
        expectClean(watched.counts(), true);
    }
    char text[512] = {};
    plugin.dispatch(effVendorSpecific, 0, sizeof text, text);
    EXPECT_NE(std::string(text).find("jumps=0 faults=0 levels=4 "), std::string::npos) << text;
}

} // namespace

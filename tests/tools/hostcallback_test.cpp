// Guards against a host callback that gives a plug-in wrong or drifting time info, a wrong
// process level or capability, follows a scribbled-on record elsewhere, or loses calls.
#include "tools/hosting/pluginhost.h"
#include "tools/hosting/transport.h"

#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using gravelix::host::fillTimeInfo;
using gravelix::host::HostCall;
using gravelix::host::hostCallback;
using gravelix::host::parseTimeSignature;
using gravelix::host::PluginHost;
using gravelix::host::TransportSettings;

namespace {

const std::string kClock = std::string(FIXTURE_DIR) + "/hostfixture_clock.so";
const std::string kGood = std::string(FIXTURE_DIR) + "/hostfixture_good.so";

VstIntPtr ask(const PluginHost& plugin, VstInt32 opcode, void* ptr = nullptr) {
    return hostCallback(plugin.effect(), opcode, 0, 0, ptr, 0.0f);
}

VstIntPtr canDo(const PluginHost& plugin, const char* what) {
    return ask(plugin, audioMasterCanDo, const_cast<char*>(what));
}

// The clock fixture's own account of the blocks it saw.
std::string report(const PluginHost& plugin) {
    char text[512] = {};
    plugin.dispatch(effVendorSpecific, 0, sizeof text, text);
    return text;
}

// Runs blocks of these sizes through the plug-in on this thread.
void processBlocks(const PluginHost& plugin, const std::vector<int>& sizes) {
    std::vector<float> store(4 * 8192, 0.0f);
    float* in[2] = {store.data(), store.data() + 8192};
    float* out[2] = {store.data() + 2 * 8192, store.data() + 3 * 8192};
    for (int n : sizes) {
        plugin.process(in, out, n);
    }
}

TEST(TimeInfo, PositionsOnTheBeatAndBarStartsFollowTempoAndSignature) {
    VstTimeInfo t{};
    TransportSettings s{90.0, 4, 4};
    // 90 BPM at 48 kHz: a beat is 32000 frames exactly.
    fillTimeInfo(t, s, 48000.0, 32000 * 5, true, false);
    EXPECT_EQ(t.ppqPos, 5.0);
    EXPECT_EQ(t.barStartPos, 4.0);
    EXPECT_EQ(t.samplePos, 160000.0);
    EXPECT_EQ(t.flags, kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                           kVstTimeSigValid);
    // 6/8: bars of three quarters; one frame before the third bar still lies in the second.
    s = {120.0, 6, 8};
    fillTimeInfo(t, s, 44100.0, 22050 * 6 - 1, false, true);
    EXPECT_EQ(t.barStartPos, 3.0);
    EXPECT_EQ(t.timeSigNumerator, 6);
    EXPECT_EQ(t.timeSigDenominator, 8);
    EXPECT_EQ(t.flags & (kVstTransportPlaying | kVstTransportChanged), kVstTransportChanged);
    fillTimeInfo(t, s, 44100.0, 22050 * 6, true, false);
    EXPECT_EQ(t.barStartPos, 6.0);
    // No sample rate yet: no positions in beats rather than NaN or infinity.
    fillTimeInfo(t, s, 0.0, 1000, true, false);
    EXPECT_EQ(t.flags & (kVstPpqPosValid | kVstBarsValid), 0);
    EXPECT_EQ(t.ppqPos, 0.0);
}

TEST(TimeInfo, BadTempoAndSignatureAreRefusedAndLeaveTheSettingsAlone) {
    TransportSettings s;
    parseTimeSignature("7/8", s);
    EXPECT_EQ(s.numerator, 7);
    EXPECT_EQ(s.denominator, 8);
    for (const char* bad :
         {"4", "4/3", "0/4", "4/0", "x/4", "65/4", "4/128", "/4", "4/", "-3/4", "4/4/4", ""}) {
        EXPECT_THROW(parseTimeSignature(bad, s), std::runtime_error) << bad;
    }
    EXPECT_EQ(s.numerator, 7);
    PluginHost plugin(kClock);
    for (double tempo : {0.0, -120.0, 1000.0, std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity()}) {
        EXPECT_THROW(plugin.state().setTransport({tempo, 4, 4}), std::runtime_error) << tempo;
    }
    EXPECT_EQ(plugin.state().transport().tempo, 120.0);
}

TEST(HostCallback, TimeMovesExactlyByTheFramesOfEachBlockWhateverTheirSizes) {
    PluginHost plugin(kClock);
    plugin.state().setTransport({90.0, 3, 4});
    plugin.setSampleRate(48000.0f);
    plugin.setBlockSize(4096);
    plugin.resume();
    const std::vector<int> sizes = {1, 333, 7, 4096, 4095, 2, 512, 1000, 3};
    long long total = 0;
    for (int n : sizes) {
        total += n;
    }
    processBlocks(plugin, sizes);
    const std::string seen = report(plugin);
    EXPECT_NE(seen.find("jumps=0 faults=0"), std::string::npos) << seen;
    EXPECT_NE(seen.find("first=0 next=" + std::to_string(total) + " "), std::string::npos) << seen;
    EXPECT_NE(seen.find("tempo=90 sig=3/4"), std::string::npos) << seen;
    EXPECT_EQ(plugin.state().position(), total);

    // Another thread (an editor, say) sees where the last block ended, while resumed only.
    VstTimeInfo other{};
    std::thread([&] {
        other = *reinterpret_cast<VstTimeInfo*>(ask(plugin, audioMasterGetTime));
    }).join();
    EXPECT_EQ(other.samplePos, static_cast<double>(total));
    EXPECT_TRUE(other.flags & kVstTransportPlaying);
    plugin.suspend();
    const auto* idle = reinterpret_cast<VstTimeInfo*>(ask(plugin, audioMasterGetTime));
    EXPECT_FALSE(idle->flags & kVstTransportPlaying);
    // A new render starts from the top.
    plugin.state().locate(0);
    EXPECT_EQ(reinterpret_cast<VstTimeInfo*>(ask(plugin, audioMasterGetTime))->samplePos, 0.0);
}

TEST(HostCallback, ProcessLevelIsRealtimeOnlyInsideLiveProcessingAndOfflineEverywhereOffline) {
    PluginHost plugin(kClock);
    EXPECT_EQ(ask(plugin, audioMasterGetCurrentProcessLevel), kVstProcessLevelUnknown);
    plugin.state().setProcessLevel(kVstProcessLevelRealtime);
    plugin.setSampleRate(48000.0f);
    plugin.resume();
    processBlocks(plugin, {64});
    EXPECT_NE(report(plugin).find("levels=4 resumelevel=1"), std::string::npos) << report(plugin);
    EXPECT_EQ(ask(plugin, audioMasterGetCurrentProcessLevel), kVstProcessLevelUser);
    plugin.suspend();

    PluginHost offline(kClock);
    offline.state().setProcessLevel(kVstProcessLevelOffline);
    offline.resume();
    processBlocks(offline, {64});
    EXPECT_NE(report(offline).find("levels=16 resumelevel=4"), std::string::npos)
        << report(offline);
    VstIntPtr elsewhere = 0;
    std::thread([&] { elsewhere = ask(offline, audioMasterGetCurrentProcessLevel); }).join();
    EXPECT_EQ(elsewhere, kVstProcessLevelOffline);
}

TEST(HostCallback, CapabilitiesAndCheapQueriesAreAnsweredForWhatTheHostDoes) {
    PluginHost plugin(kGood);
    EXPECT_EQ(canDo(plugin, "sendVstTimeInfo"), 1);
    EXPECT_EQ(canDo(plugin, "sizeWindow"), 0); // no editor window to resize
    for (const char* no :
         {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "offline", "acceptIOChanges",
          "openFileSelector", "startStopProcess", "", "sendVstTimeInfo "}) {
        EXPECT_EQ(canDo(plugin, no), 0) << no;
    }
    EXPECT_EQ(ask(plugin, audioMasterCanDo, nullptr), 0);
    plugin.state().setSizeWindowHandler([](int, int) { return true; });
    EXPECT_EQ(canDo(plugin, "sizeWindow"), 1);
    plugin.state().setSizeWindowHandler(nullptr);
    EXPECT_EQ(canDo(plugin, "sizeWindow"), 0);
    EXPECT_EQ(ask(plugin, audioMasterGetAutomationState), kVstAutomationOff);
    EXPECT_EQ(ask(plugin, audioMasterWillReplaceOrAccumulate), 1);
    plugin.state().setTransport({92.5, 4, 4});
    EXPECT_EQ(ask(plugin, audioMasterTempoAt), 925000);
}

TEST(HostCallback, AScribbledHostFieldReachesNoOtherPluginAndAnswersSafely) {
    PluginHost a(kGood);
    PluginHost b(kGood);
    a.state().setSampleRate(96000.0f);
    b.state().setSampleRate(22050.0f);
    EXPECT_EQ(ask(a, audioMasterGetSampleRate), 96000);
    const VstIntPtr own = a.effect()->resvd1;
    // b's index in a's record: the state there names another record, so it is not used.
    a.effect()->resvd1 = b.effect()->resvd1;
    EXPECT_EQ(ask(a, audioMasterGetSampleRate), 0);
    for (VstIntPtr junk : {VstIntPtr{-1}, VstIntPtr{0}, VstIntPtr{1} << 40}) {
        a.effect()->resvd1 = junk;
        EXPECT_EQ(ask(a, audioMasterGetSampleRate), 0);
        EXPECT_EQ(ask(a, audioMasterVersion), kVstVersion);
    }
    a.effect()->resvd1 = own;
    EXPECT_EQ(ask(a, audioMasterGetSampleRate), 96000);
    EXPECT_EQ(ask(b, audioMasterGetSampleRate), 22050);
}

TEST(HostCallback, CallsBeyondAThreadsRingOrFromTooManyThreadsAreCountedNotCorrupted) {
    PluginHost plugin(kGood);
    auto& state = plugin.state();
    state.clearCalls();
    const auto limit = static_cast<VstIntPtr>(gravelix::host::CallRecorder::kRingCalls);
    plugin.dispatch(effVendorSpecific, 1, limit + 10);
    const auto calls = state.calls();
    ASSERT_EQ(calls.size(), static_cast<std::size_t>(limit));
    EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls.back().opt, static_cast<float>(limit - 2));
    EXPECT_EQ(state.droppedCalls(), 12u);
    // Clearing makes room again for the same thread.
    state.clearCalls();
    plugin.dispatch(effVendorSpecific, 2, 1);
    EXPECT_EQ(state.calls().size(), 3u);

    // More threads than rings: the first ones are recorded whole, the rest only counted.
    state.clearCalls();
    std::vector<std::thread> threads;
    for (int t = 0; t < 2 * gravelix::host::CallRecorder::kRings; ++t) {
        threads.emplace_back([&plugin, t] { plugin.dispatch(effVendorSpecific, t, 5); });
    }
    for (auto& t : threads) {
        t.join();
    }
    const auto many = state.calls();
    EXPECT_EQ(many.size() % 7, 0u);
    EXPECT_EQ(many.size() + state.droppedCalls(),
              static_cast<std::size_t>(2 * gravelix::host::CallRecorder::kRings * 7));
}

} // namespace

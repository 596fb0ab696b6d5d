// Guards the LV2 adapter as a host drives it: a wrong descriptor or URI, ports that sound other
// than the VST 2.4 plug-in for the same values (programs, rates, changes between blocks,
// clamping, switches read differently, the footswitch inverted), state that survives
// activation, trouble with run(0), unconnected, reconnected or shared (in-place) buffers, and a
// latency port that disagrees with the VST 2.4 plug-in's delay.
#include "lv2instance.h"
#include "recordinghost.h"
#include "soundidentitytables.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

struct Pedal {
    const char* lv2;
    const char* vst;
    const char* uri;
};
const Pedal kPedals[] = {
    {GRAVELIX_LV2, GRAVELIX_PLUGIN, "https://keldwyn.example/plugins/gravelix"},
    {GRAVELIX_HQ_LV2, GRAVELIX_HQ_PLUGIN, "https://keldwyn.example/plugins/gravelix-hq"},
};

// Program 1, then a change of one parameter before each further block: the values a host
// sends, out of range and the switches' thresholds included.
template <class Runner, class Library>
std::uint64_t changesBetweenBlocks(Library& library, float rate, int index) {
    const float values[] = {0.0f, 0.3f, 0.5f, 0.51f, 0.7f, 1.0f, 1.7f, -0.2f, 0.99f, 1.0f};
    Runner runner(library, rate);
    EXPECT_TRUE(runner.ok());
    runner.loadProgram(1);
    BitHash hash;
    unsigned seed = 40;
    runner.process(noise(200, 1.3f, seed), noise(200, 0.6f, seed + 1), hash);
    for (float value : values) {
        seed += 2;
        runner.setParameter(index, value);
        runner.process(noise(200, 1.3f, seed), noise(200, 0.6f, seed + 1), hash);
    }
    return hash.value;
}

std::vector<float> runWhole(Lv2Instance& instance, const std::vector<float>& l,
                            const std::vector<float>& r) {
    std::vector<float> out(2 * l.size());
    instance.run(l.data(), r.data(), out.data(), out.data() + l.size(),
                 static_cast<std::uint32_t>(l.size()));
    return out;
}

class Lv2Pedal : public testing::Test {
protected:
    RecordingHost host; // the VST 2.4 plug-ins' callback
};

} // namespace

TEST_F(Lv2Pedal, EachLibraryDescribesItsOwnPedalOnce) {
    for (const Pedal& p : kPedals) {
        Lv2Library library(p.lv2);
        ASSERT_TRUE(library.handle) << library.why;
        ASSERT_NE(library.descriptor, nullptr);
        EXPECT_STREQ(library.descriptor->URI, p.uri);
        EXPECT_EQ(library.second, nullptr);
        EXPECT_EQ(library.descriptor->extension_data("http://lv2plug.in/ns/ext/state#interface"),
                  nullptr);
    }
}

TEST_F(Lv2Pedal, ProgramsSoundAsTheTablesEveryFormatIsHeldTo) {
    Lv2Library plain(GRAVELIX_LV2);
    expectProgramHashes<Lv2Runner>(plain, soundIdentityPrograms());
    Lv2Library hq(GRAVELIX_HQ_LV2);
    expectProgramHashes<Lv2Runner>(hq, kHqSoundIdentityPrograms);
}

TEST_F(Lv2Pedal, ControlChangesBetweenBlocksSoundAsVstSetParameter) {
    for (const Pedal& p : kPedals) {
        Lv2Library lv2(p.lv2);
        PluginLibrary vst(p.vst);
        ASSERT_TRUE(vst.loaded()) << vst.error();
        for (int index = 0; index < kParameterCount; ++index) {
            for (float rate : {44100.0f, 96000.0f}) {
                EXPECT_EQ((changesBetweenBlocks<Lv2Runner>(lv2, rate, index)),
                          (changesBetweenBlocks<Plugin>(vst, rate, index)))
                    << p.uri << " parameter " << index << " at " << rate;
            }
        }
    }
}

TEST_F(Lv2Pedal, NanOnAControlPortChangesNothing) {
    for (const Pedal& p : kPedals) {
        Lv2Library library(p.lv2);
        Lv2Runner steady(library, 48000.0f), poisoned(library, 48000.0f);
        BitHash a, b;
        steady.process(noise(256, 1.0f, 3), noise(256, 1.0f, 4), a);
        poisoned.process(noise(256, 1.0f, 3), noise(256, 1.0f, 4), b);
        poisoned.setParameter(kDistortion, std::numeric_limits<float>::quiet_NaN());
        steady.process(noise(256, 1.0f, 5), noise(256, 1.0f, 6), a);
        poisoned.process(noise(256, 1.0f, 5), noise(256, 1.0f, 6), b);
        EXPECT_EQ(a.value, b.value) << p.uri;
    }
}

TEST_F(Lv2Pedal, RunZeroUnconnectedReconnectedAndInPlaceBuffersSoundAsOneRun) {
    const std::vector<float> l = noise(1000, 1.4f, 11), r = noise(1000, 0.9f, 12);
    for (const Pedal& p : kPedals) {
        Lv2Library library(p.lv2);
        Lv2Instance whole(library, 44100.0);
        Lv2Instance pieces(library, 44100.0);
        ASSERT_TRUE(whole.ok() && pieces.ok());
        whole.setProgram(2);
        pieces.setProgram(2);
        whole.activate();
        pieces.activate();
        const std::vector<float> expected = runWhole(whole, l, r);

        // Nothing connected but the controls: run(0) and run(n) only read them.
        pieces.d->run(pieces.handle, 0);
        pieces.d->run(pieces.handle, 64);
        std::vector<float> got(2 * l.size());
        std::size_t at = 0;
        int block = 0;
        for (const std::size_t n : {0u, 1u, 63u, 0u, 200u, 7u, 329u, 400u}) {
            // A fresh pair of buffers every block; every other block in place.
            std::vector<float> bufL(l.begin() + at, l.begin() + at + n);
            std::vector<float> bufR(r.begin() + at, r.begin() + at + n);
            std::vector<float> outL(n), outR(n);
            if (block++ % 2) {
                pieces.run(bufL.data(), bufR.data(), bufL.data(), bufR.data(),
                           static_cast<std::uint32_t>(n));
                outL = bufL;
                outR = bufR;
            } else {
                pieces.run(bufL.data(), bufR.data(), outL.data(), outR.data(),
                           static_cast<std::uint32_t>(n));
            }
            std::copy(outL.begin(), outL.end(), got.begin() + static_cast<std::ptrdiff_t>(at));
            std::copy(outR.begin(), outR.end(),
                      got.begin() + static_cast<std::ptrdiff_t>(l.size() + at));
            at += n;
        }
        ASSERT_EQ(at, l.size());
        EXPECT_TRUE(got == expected) << p.uri;
    }
}

TEST_F(Lv2Pedal, ActivationStartsANewStreamWithTheSameValues) {
    const std::vector<float> l = noise(700, 1.2f, 21), r = noise(700, 0.5f, 22);
    for (const Pedal& p : kPedals) {
        Lv2Library library(p.lv2);
        Lv2Instance fresh(library, 48000.0);
        Lv2Instance cycled(library, 48000.0);
        fresh.setProgram(3);
        cycled.setProgram(3);
        fresh.activate();
        const std::vector<float> expected = runWhole(fresh, l, r);
        for (int cycle = 0; cycle < 3; ++cycle) {
            cycled.activate();
            runWhole(cycled, noise(300, 1.5f, 30u + static_cast<unsigned>(cycle)), l);
            cycled.deactivate();
        }
        cycled.activate();
        EXPECT_TRUE(runWhole(cycled, l, r) == expected) << p.uri;
    }
}

TEST_F(Lv2Pedal, LatencyPortReportsTheVstDelay) {
    for (const Pedal& p : kPedals) {
        Lv2Library lv2(p.lv2);
        PluginLibrary vst(p.vst);
        for (float rate : {44100.0f, 96000.0f, 192000.0f}) {
            Plugin effect(vst, rate);
            ASSERT_TRUE(effect.ok());
            Lv2Instance instance(lv2, rate);
            instance.activate();
            instance.d->run(instance.handle, 0);
            EXPECT_EQ(instance.latency, static_cast<float>(effect.effect->initialDelay))
                << p.uri << " at " << rate;
        }
    }
    Lv2Library plain(GRAVELIX_LV2);
    Lv2Instance instance(plain, 44100.0);
    instance.d->run(instance.handle, 0);
    EXPECT_EQ(instance.latency, 0.0f);
}

TEST_F(Lv2Pedal, NoRateNoInstance) {
    Lv2Library library(GRAVELIX_LV2);
    for (double rate : {0.0, -44100.0, std::nan("")}) {
        EXPECT_FALSE(Lv2Instance(library, rate).ok()) << rate;
    }
}

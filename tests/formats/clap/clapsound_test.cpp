// Guards against the CLAP pedals sounding different from the VST 2.4 ones (a parameter mapped
// wrongly into CLAP's values, the bypass not inverted, a program loaded differently) and against
// changes that do not land on their own frame when the adapter splits a block at them.
#include "clapinstance.h"
#include "claprunner.h"
#include "pluginrunner.h"
#include "recordinghost.h"
#include "soundidentitytables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class ClapSound : public ::testing::Test {
protected:
    RecordingHost host; // the VST 2.4 plug-ins' callback
    ClapLibrary gravelix{GRAVELIX_CLAP};
    ClapLibrary hq{GRAVELIX_HQ_CLAP};

    void SetUp() override {
        ASSERT_TRUE(gravelix.loaded()) << gravelix.error();
        ASSERT_TRUE(hq.loaded()) << hq.error();
    }
};

TEST_F(ClapSound, GravelixMatchesTheSoundIdentityTables) {
    expectProgramHashes<ClapRunner>(gravelix, soundIdentityPrograms());
    expectParameterSweepHashes<ClapRunner>(gravelix, kParameterSweepHashes, false);
}

TEST_F(ClapSound, GravelixHqMatchesTheSoundIdentityTables) {
    expectProgramHashes<ClapRunner>(hq, kHqSoundIdentityPrograms);
    expectParameterSweepHashes<ClapRunner>(hq, kHqParameterSweepHashes, true);
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// One 128-frame block with `changes` as its events, against the same block cut at each change's
// frame with the change flushed in between; both instances warmed up alike, Distortion high.
void expectSplitAtTheirFrames(ClapLibrary& library, const std::vector<ParamChange>& changes) {
    constexpr std::uint32_t kFrames = 128;
    const std::vector<float> warmL = noise(500, 0.9f, 3), warmR = noise(500, 0.6f, 4);
    const std::vector<float> inL = noise(kFrames, 1.1f, 5), inR = noise(kFrames, 0.7f, 6);
    ClapInstance whole(library), cut(library);
    ASSERT_TRUE(whole.activate(48000.0) && cut.activate(48000.0));
    std::vector<float> scratchL(500), scratchR(500);
    for (ClapInstance* i : {&whole, &cut}) {
        i->process(warmL.data(), warmR.data(), scratchL.data(), scratchR.data(), 500,
                   {{0, 1, 0.9}});
    }

    std::vector<float> wholeL(kFrames), wholeR(kFrames), cutL(kFrames), cutR(kFrames);
    whole.process(inL.data(), inR.data(), wholeL.data(), wholeR.data(), kFrames, changes);

    std::uint32_t done = 0;
    std::size_t next = 0;
    while (done < kFrames) {
        std::vector<ParamChange> now;
        while (next < changes.size() && changes[next].time <= done) {
            now.push_back({0, changes[next].id, changes[next].value});
            ++next;
        }
        if (!now.empty()) {
            cut.flush(now);
        }
        const std::uint32_t end = next < changes.size() ? changes[next].time : kFrames;
        cut.process(inL.data() + done, inR.data() + done, cutL.data() + done, cutR.data() + done,
                    end - done);
        done = end;
    }
    EXPECT_TRUE(sameBits(wholeL, cutL) && sameBits(wholeR, cutR));
}

TEST_F(ClapSound, ChangesLandOnTheirFrame) {
    for (ClapLibrary* library : {&gravelix, &hq}) {
        SCOPED_TRACE(library == &gravelix ? "Gravelix" : "Gravelix HQ");
        {
            SCOPED_TRACE("Distortion");
            expectSplitAtTheirFrames(*library, {{37, 1, 0.2}});
        }
        {
            SCOPED_TRACE("bypass");
            expectSplitAtTheirFrames(*library, {{37, 9, 1.0}});
        }
        {
            SCOPED_TRACE("Stereo");
            expectSplitAtTheirFrames(*library, {{37, 8, 1.0}});
        }
        {
            SCOPED_TRACE("all three, then back at other frames");
            expectSplitAtTheirFrames(*library, {{37, 1, 0.2},
                                                {37, 9, 1.0},
                                                {37, 8, 1.0},
                                                {90, 9, 0.0},
                                                {90, 1, 0.7},
                                                {127, 8, 0.0}});
        }
    }
}

// The same values at offset 0 of each block as the VST 2.4 plug-in takes them between its blocks:
// bit for bit the same output, switches and footswitch included.
void expectSameAsVst(PluginLibrary& vst, ClapLibrary& clap, float rate) {
    Plugin effect(vst, rate);
    ClapRunner runner(clap, rate);
    ASSERT_TRUE(effect.ok() && runner.ok());
    const float grid[] = {0.0f, 0.1f, 0.25f, 0.4f, 0.5f, 0.51f, 0.75f, 0.93f, 1.0f};
    unsigned seed = 77;
    auto next = [&seed](unsigned n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 12) % n;
    };
    std::vector<float> vstL(64), vstR(64), clapL(64), clapR(64);
    std::vector<ParamChange> changes;
    for (int block = 0; block < 200; ++block) {
        changes.clear();
        for (unsigned k = next(4); k > 0; --k) {
            const int index = static_cast<int>(next(10));
            const float v = grid[next(std::size(grid))];
            effect.setParameter(index, v);
            changes.push_back({0, static_cast<clap_id>(index), clapValue(index, v)});
        }
        std::vector<float> inL = noise(64, 1.3f, 100 + 2 * block);
        std::vector<float> inR = noise(64, 0.9f, 101 + 2 * block);
        float* ins[2] = {inL.data(), inR.data()};
        float* outs[2] = {vstL.data(), vstR.data()};
        effect.effect->processReplacing(effect.effect, ins, outs, 64);
        runner.instance.process(inL.data(), inR.data(), clapL.data(), clapR.data(), 64, changes);
        ASSERT_TRUE(sameBits(vstL, clapL) && sameBits(vstR, clapR)) << "block " << block;
    }
}

TEST_F(ClapSound, ChangesAtOffsetZeroSoundAsTheVstPluginsDo) {
    PluginLibrary vst(GRAVELIX_PLUGIN);
    PluginLibrary vstHq(GRAVELIX_HQ_PLUGIN);
    ASSERT_TRUE(vst.loaded() && vstHq.loaded());
    expectSameAsVst(vst, gravelix, 44100.0f);
    expectSameAsVst(vstHq, hq, 48000.0f);
}

} // namespace

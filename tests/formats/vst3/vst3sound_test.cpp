// Guards against the VST3 pedals sounding different from the VST 2.4 and CLAP ones (a value
// mapped wrongly into VST3's, the bypass not inverted, a program loaded differently) and against
// automation that does not land on its own frame when the processor splits a block at it.
#include "pluginrunner.h"
#include "recordinghost.h"
#include "soundidentitytables.h"
#include "vst3instance.h"
#include "vst3runner.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

class Vst3Sound : public ::testing::Test {
protected:
    RecordingHost host; // the VST 2.4 plug-ins' callback
    Vst3Library gravelix{GRAVELIX_VST3};
    Vst3Library hq{GRAVELIX_HQ_VST3};

    void SetUp() override {
        ASSERT_TRUE(gravelix.loaded()) << gravelix.error();
        ASSERT_TRUE(hq.loaded()) << hq.error();
    }
};

TEST_F(Vst3Sound, GravelixMatchesTheSoundIdentityTables) {
    expectProgramHashes<Vst3Runner>(gravelix, soundIdentityPrograms());
    expectParameterSweepHashes<Vst3Runner>(gravelix, kParameterSweepHashes, false);
}

TEST_F(Vst3Sound, GravelixHqMatchesTheSoundIdentityTables) {
    expectProgramHashes<Vst3Runner>(hq, kHqSoundIdentityPrograms);
    expectParameterSweepHashes<Vst3Runner>(hq, kHqParameterSweepHashes, true);
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// One 128-frame block with `changes` (sorted by offset) as its queues, against the same block
// cut at each change's frame with the change at offset 0 of the next piece; both instances
// warmed up alike, Distortion high.
void expectSplitAtTheirFrames(Vst3Library& library, const std::vector<ParamPoint>& changes) {
    constexpr Steinberg::int32 kFrames = 128;
    const std::vector<float> warmL = noise(500, 0.9f, 3), warmR = noise(500, 0.6f, 4);
    const std::vector<float> inL = noise(kFrames, 1.1f, 5), inR = noise(kFrames, 0.7f, 6);
    Vst3Instance whole(library), cut(library);
    ASSERT_TRUE(whole.activate(48000.0) && cut.activate(48000.0));
    std::vector<float> scratchL(500), scratchR(500);
    for (Vst3Instance* i : {&whole, &cut}) {
        i->process(warmL.data(), warmR.data(), scratchL.data(), scratchR.data(), 500,
                   {{0, 1, 0.9}});
    }

    std::vector<float> wholeL(kFrames), wholeR(kFrames), cutL(kFrames), cutR(kFrames);
    whole.process(inL.data(), inR.data(), wholeL.data(), wholeR.data(), kFrames, changes);

    Steinberg::int32 done = 0;
    std::size_t next = 0;
    while (done < kFrames) {
        std::vector<ParamPoint> now;
        while (next < changes.size() && changes[next].offset <= done) {
            now.push_back({0, changes[next].id, changes[next].value});
            ++next;
        }
        const Steinberg::int32 end = next < changes.size() ? changes[next].offset : kFrames;
        cut.process(inL.data() + done, inR.data() + done, cutL.data() + done, cutR.data() + done,
                    end - done, now);
        done = end;
    }
    EXPECT_TRUE(sameBits(wholeL, cutL) && sameBits(wholeR, cutR));
}

TEST_F(Vst3Sound, ChangesLandOnTheirFrame) {
    for (Vst3Library* library : {&gravelix, &hq}) {
        SCOPED_TRACE(library == &gravelix ? "Gravelix" : "Gravelix HQ");
        expectSplitAtTheirFrames(*library, {{37, 1, 0.2}});
        // The footswitch as bypass, and several points of one queue between another's.
        expectSplitAtTheirFrames(
            *library,
            {{10, 1, 0.3}, {37, 9, 1.0}, {37, 8, 1.0}, {60, 1, 0.5}, {90, 9, 0.0}, {127, 8, 0.0}});
        // A program change at its frame, before the other change at that frame.
        expectSplitAtTheirFrames(*library, {{50, kProgramId, programValue(1)}, {50, 0, 0.2}});
    }
}

// The same values at offset 0 of each block as the VST 2.4 plug-in takes them between its
// blocks: bit for bit the same output, switches and footswitch included.
void expectSameAsVst(PluginLibrary& vst, Vst3Library& vst3, float rate) {
    Plugin effect(vst, rate);
    Vst3Runner runner(vst3, rate);
    ASSERT_TRUE(effect.ok() && runner.ok());
    const float grid[] = {0.0f, 0.1f, 0.25f, 0.4f, 0.5f, 0.51f, 0.75f, 0.93f, 1.0f};
    unsigned seed = 77;
    auto next = [&seed](unsigned n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 12) % n;
    };
    std::vector<float> vstL(64), vstR(64), outL(64), outR(64);
    std::vector<ParamPoint> changes;
    for (int block = 0; block < 200; ++block) {
        changes.clear();
        for (unsigned k = next(4); k > 0; --k) {
            const int index = static_cast<int>(next(10));
            const float v = grid[next(std::size(grid))];
            effect.setParameter(index, v);
            changes.push_back(
                {0, static_cast<Steinberg::Vst::ParamID>(index), vst3Value(index, v)});
        }
        std::vector<float> inL = noise(64, 1.3f, 100 + 2 * block);
        std::vector<float> inR = noise(64, 0.9f, 101 + 2 * block);
        float* ins[2] = {inL.data(), inR.data()};
        float* outs[2] = {vstL.data(), vstR.data()};
        effect.effect->processReplacing(effect.effect, ins, outs, 64);
        runner.instance.process(inL.data(), inR.data(), outL.data(), outR.data(), 64, changes);
        ASSERT_TRUE(sameBits(vstL, outL) && sameBits(vstR, outR)) << "block " << block;
    }
}

TEST_F(Vst3Sound, ChangesAtOffsetZeroSoundAsTheVstPluginsDo) {
    PluginLibrary vst(GRAVELIX_PLUGIN);
    PluginLibrary vstHq(GRAVELIX_HQ_PLUGIN);
    ASSERT_TRUE(vst.loaded() && vstHq.loaded());
    expectSameAsVst(vst, gravelix, 44100.0f);
    expectSameAsVst(vstHq, hq, 48000.0f);
}

// A flush (no audio, only changes) and an in-place block are heard as any other.
TEST_F(Vst3Sound, FlushesAndInPlaceBlocks) {
    Vst3Instance flushed(gravelix), direct(gravelix);
    ASSERT_TRUE(flushed.activate(44100.0) && direct.activate(44100.0));
    EXPECT_EQ(flushed.process(nullptr, nullptr, nullptr, nullptr, 0, {{0, 1, 0.8}, {0, 9, 0.0}}),
              Steinberg::kResultOk);
    std::vector<float> l = noise(64, 1.0f, 9), r = noise(64, 1.0f, 10);
    std::vector<float> outL(64), outR(64);
    direct.process(l.data(), r.data(), outL.data(), outR.data(), 64, {{0, 1, 0.8}, {0, 9, 0.0}});
    flushed.process(l.data(), r.data(), l.data(), r.data(), 64);
    EXPECT_TRUE(sameBits(l, outL) && sameBits(r, outR));
}

} // namespace

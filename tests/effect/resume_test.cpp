// Guards against the tail of one stream sounding at the start of the next after a host's
// suspend/resume, and against a resume that loses parameters, programs or coefficients.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "effectprobe.h"

namespace {

void mainsChanged(Gravelix& g, bool on) {
    AEffect* e = g.getAeffect();
    e->dispatcher(e, effMainsChanged, 0, on ? 1 : 0, nullptr, 0.0f);
}

// The settings both instances get: a rate, a program and a few edits after it.
void configure(Gravelix& g, float rate, VstInt32 program, float stereo) {
    g.setSampleRate(rate);
    g.setProgram(program);
    g.setParameter(Gravelix::kStereo, stereo);
    g.setParameter(Gravelix::kLowCut, 0.3f);
}

TEST(Resume, NextStreamEqualsAFreshInstanceBitForBit) {
    const Stereo first{noise(3000, 0.9f, 51), noise(3000, 0.9f, 52)};
    const Stereo second{noise(2000, 0.9f, 53), noise(2000, 0.9f, 54)};
    for (VstInt32 program = 0; program < Gravelix::kNumPrograms; ++program) {
        for (float stereo : {0.0f, 1.0f}) {
            const std::string where =
                "program " + std::to_string(program) + (stereo > 0.5f ? " stereo" : " mono");
            EffectProbe reused, fresh;
            configure(reused, 48000.0f, program, stereo);
            configure(fresh, 48000.0f, program, stereo);
            // Both channels' states carry a tail: part of the first stream in the other mode.
            reused.setParameter(Gravelix::kStereo, 1.0f - stereo);
            process(reused, first, 64);
            reused.setParameter(Gravelix::kStereo, stereo);
            process(reused, first, 100);

            mainsChanged(reused, false);
            mainsChanged(reused, true);
            for (float s : reused.state()) {
                ASSERT_EQ(s, 0.0f) << where;
            }
            const Stereo a = process(reused, second, 37);
            const Stereo b = process(fresh, second, 37);
            EXPECT_TRUE(sameBits(a.l, b.l) && sameBits(a.r, b.r)) << where;
        }
    }
}

// Suspend alone is no new stream: processing goes on as if nothing had happened.
TEST(Resume, SuspendAloneChangesNothing) {
    const Stereo in{noise(4000, 0.9f, 55), noise(4000, 0.9f, 56)};
    for (float stereo : {0.0f, 1.0f}) {
        EffectProbe paused, continuous;
        paused.setParameter(Gravelix::kStereo, stereo);
        continuous.setParameter(Gravelix::kStereo, stereo);
        const Stereo head{{in.l.begin(), in.l.begin() + 1500}, {in.r.begin(), in.r.begin() + 1500}};
        const Stereo tail{{in.l.begin() + 1500, in.l.end()}, {in.r.begin() + 1500, in.r.end()}};
        process(paused, head);
        const auto state = paused.state();
        mainsChanged(paused, false);
        EXPECT_TRUE(sameBits(paused.state(), state));
        const Stereo after = process(paused, tail);
        const Stereo whole = process(continuous, in);
        EXPECT_TRUE(sameBits(after.l, {whole.l.begin() + 1500, whole.l.end()})) << stereo;
        EXPECT_TRUE(sameBits(after.r, {whole.r.begin() + 1500, whole.r.end()})) << stereo;
    }
}

// A resume in the middle of automation keeps every setting: what follows equals a fresh
// instance that was given the same parameter changes and no audio.
TEST(Resume, MidSweepKeepsParametersProgramsAndCoefficients) {
    for (float stereo : {0.0f, 1.0f}) {
        EffectProbe g, fresh;
        g.setProgram(2);
        fresh.setProgram(2);
        const auto sweep = [stereo](Gravelix& e, int step) {
            const float v = static_cast<float>(step) / 20.0f;
            e.setParameter(Gravelix::kStereo, stereo);
            e.setParameter(Gravelix::kDistortion, v);
            e.setParameter(Gravelix::kHighCut, 1.0f - v);
            e.setParameter(Gravelix::kOutput, 0.3f + 0.5f * v);
        };
        for (int step = 0; step < 10; ++step) {
            sweep(g, step);
            sweep(fresh, step);
            process(g, {noise(256, 0.8f, 60 + step), noise(256, 0.8f, 80 + step)});
        }
        float before[Gravelix::kNumParams];
        for (VstInt32 i = 0; i < Gravelix::kNumParams; ++i) {
            before[i] = g.getParameter(i);
        }
        const auto coefficients = g.coefficients();
        const GravelixProgram record = g.programs[2];
        char name[32] = {};
        g.getProgramName(name);

        mainsChanged(g, false);
        mainsChanged(g, true);

        for (VstInt32 i = 0; i < Gravelix::kNumParams; ++i) {
            EXPECT_EQ(g.getParameter(i), before[i]) << i;
        }
        EXPECT_TRUE(sameBits(g.coefficients(), coefficients));
        EXPECT_TRUE(sameBits(g.coefficients(), fresh.coefficients()));
        EXPECT_EQ(std::memcmp(&g.programs[2], &record, sizeof record), 0);
        EXPECT_EQ(g.getProgram(), 2);
        char after[32] = {};
        g.getProgramName(after);
        EXPECT_STREQ(after, name);

        for (int step = 10; step <= 20; ++step) {
            sweep(g, step);
            sweep(fresh, step);
            const Stereo in{noise(256, 0.8f, 60 + step), noise(256, 0.8f, 80 + step)};
            const Stereo a = process(g, in);
            const Stereo b = process(fresh, in);
            ASSERT_TRUE(sameBits(a.l, b.l) && sameBits(a.r, b.r)) << "step " << step;
        }
    }
}

} // namespace

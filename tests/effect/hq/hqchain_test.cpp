// Guards Gravelix HQ's own audio path against faults the oversampled section can bring: state
// that survives a new stream, stuck NaN or denormal tails, lanes that disagree with the
// one-channel form, jumps when a control moves, a latency that ignores the rate, and a sound
// that depends on the oversampling factor.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <vector>

#include "gravelix.h"
#include "recordinghost.h"

namespace {

struct Stereo {
    std::vector<float> l, r;
};

class HqProbe : public Gravelix {
public:
    HqProbe() : Gravelix(RecordingHost::callback()) {}
    using Gravelix::chain;
};

Stereo process(Gravelix& effect, Stereo in, int block = 64) {
    Stereo out{std::vector<float>(in.l.size()), std::vector<float>(in.l.size())};
    for (std::size_t i = 0; i < in.l.size(); i += static_cast<std::size_t>(block)) {
        const auto n = static_cast<VstInt32>(std::min<std::size_t>(block, in.l.size() - i));
        float* ins[2] = {in.l.data() + i, in.r.data() + i};
        float* outs[2] = {out.l.data() + i, out.r.data() + i};
        effect.processReplacing(ins, outs, n);
    }
    return out;
}

std::vector<float> tone(double hz, double amplitude, std::size_t n, double rate = 44100.0) {
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = static_cast<float>(
            amplitude * std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / rate));
    }
    return x;
}

std::vector<float> noise(std::size_t n, float amplitude, unsigned seed) {
    std::vector<float> x(n);
    for (auto& v : x) {
        seed = seed * 1664525u + 1013904223u;
        v = amplitude * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
    return x;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

float largestStep(const std::vector<float>& y, std::size_t from) {
    float step = 0.0f;
    for (std::size_t i = from + 1; i < y.size(); ++i) {
        step = std::max(step, std::fabs(y[i] - y[i - 1]));
    }
    return step;
}

void stereoOn(Gravelix& e, bool on) {
    e.setParameter(Gravelix::kStereo, on ? 1.0f : 0.0f);
}

} // namespace

TEST(HqIdentity, NamesItselfGravelixHqWithItsOwnId) {
    HqProbe e;
    char name[64] = {};
    e.getEffectName(name);
    EXPECT_STREQ(name, "Gravelix HQ x64");
    e.getProductString(name);
    EXPECT_STREQ(name, "Gravelix HQ x64");
    EXPECT_EQ(e.getAeffect()->uniqueID, ('G' << 24) | ('r' << 16) | ('v' << 8) | 'H');
}

TEST(HqStreams, ResumeMakesTheNextStreamEqualAFreshInstance) {
    const auto n = std::size_t{20000};
    const Stereo first{noise(n, 0.8f, 1), noise(n, 0.8f, 2)};
    const Stereo second{noise(n, 0.5f, 3), noise(n, 0.5f, 4)};
    for (bool stereo : {false, true}) {
        HqProbe reused;
        stereoOn(reused, stereo);
        process(reused, first);
        reused.resume();
        const Stereo a = process(reused, second);
        HqProbe fresh;
        stereoOn(fresh, stereo);
        const Stereo b = process(fresh, second);
        EXPECT_TRUE(sameBits(a.l, b.l) && sameBits(a.r, b.r)) << "stereo " << stereo;
    }
}

TEST(HqStreams, TwoLanesEqualTheOneChannelFormBitForBit) {
    // With equal inputs, mono sums them at half the gain: the same number enters the chain.
    const auto x = tone(997.0, 0.7, 30000);
    for (int program = 0; program < 4; ++program) {
        HqProbe mono, stereo;
        mono.setProgram(program);
        stereo.setProgram(program);
        stereoOn(mono, false);
        stereoOn(stereo, true);
        const Stereo a = process(mono, {x, x}, 61);
        const Stereo b = process(stereo, {x, x}, 64);
        EXPECT_TRUE(sameBits(a.l, b.l) && sameBits(a.l, b.r)) << "program " << program;
    }
}

TEST(HqStreams, SilenceGivesSilenceWithNoDenormalTail) {
    HqProbe e;
    stereoOn(e, true);
    const auto n = std::size_t{44100};
    const Stereo loud{noise(n, 1.0f, 5), noise(n, 1.0f, 6)};
    process(e, loud);
    const Stereo quiet{std::vector<float>(8 * n), std::vector<float>(8 * n)};
    const Stereo out = process(e, quiet);
    for (const auto* ch : {&out.l, &out.r}) {
        for (float v : *ch) {
            ASSERT_TRUE(v == 0.0f || std::fabs(v) >= 1.17549435e-38f) << v;
        }
        EXPECT_EQ(ch->back(), 0.0f);
    }
    // And from a fresh start, silence is exactly zero throughout.
    HqProbe fresh;
    const Stereo zeros = process(fresh, {std::vector<float>(4096), std::vector<float>(4096)});
    EXPECT_TRUE(std::all_of(zeros.l.begin(), zeros.l.end(), [](float v) { return v == 0.0f; }));
}

TEST(HqStreams, NanAndHugeInputsNeverStickAndStayBounded) {
    for (int program = 0; program < 4; ++program) {
        HqProbe e;
        e.setProgram(program);
        stereoOn(e, true);
        e.setParameter(Gravelix::kOutput, 1.0f);
        e.setParameter(Gravelix::kInput, 1.0f);
        auto l = tone(440.0, 0.5, 20000);
        auto r = l;
        for (std::size_t i = 1000; i < 1100; ++i) {
            l[i] = std::nanf("");
            r[i] = i % 2 ? INFINITY : -INFINITY;
        }
        for (std::size_t i = 5000; i < 8000; ++i) {
            l[i] = i % 2 ? 3e38f : -3e38f;
            r[i] = 1e30f;
        }
        const Stereo out = process(e, {l, r});
        // The diode curve stays below 0.3 in size; the resampling rings a little past it.
        const float bound = 0.3f * 1.3f * 10.0f;
        for (const auto* ch : {&out.l, &out.r}) {
            for (float v : *ch) {
                ASSERT_TRUE(std::isfinite(v) && std::fabs(v) <= bound) << program << " " << v;
            }
        }
        const Stereo after = process(e, {tone(440.0, 0.5, 4000), tone(440.0, 0.5, 4000)});
        EXPECT_GT(*std::max_element(after.l.begin(), after.l.end()), 0.01f);
    }
}

// A control moved during a tone moves the output no faster per sample than the tone does at
// the control's settings; the limits and the knee jumping outright make no spike.
TEST(HqControls, SweepsAndJumpsMakeNoStepsBeyondTheSignalsOwn) {
    const std::size_t n = 22050;
    const auto x = tone(1000.0, 0.5, n);
    for (VstInt32 index = 0; index < Gravelix::kEffect; ++index) {
        float steady = 0.0f;
        float peak = 0.0f;
        for (int k = 0; k <= 10; ++k) {
            HqProbe e;
            e.setProgram(1);
            e.setParameter(index, static_cast<float>(k) / 10.0f);
            const Stereo y = process(e, {x, x});
            steady = std::max(steady, largestStep(y.l, 4000));
            peak = std::max(peak, *std::max_element(y.l.begin() + 4000, y.l.end()));
        }
        HqProbe swept;
        swept.setProgram(1);
        swept.setParameter(index, 0.0f);
        std::vector<float> out;
        for (std::size_t i = 0; i < n; i += 32) {
            swept.setParameter(index, static_cast<float>(i) / static_cast<float>(n));
            const auto end = static_cast<std::ptrdiff_t>(std::min(n, i + 32));
            const Stereo y = process(
                swept,
                {std::vector<float>(x.begin() + static_cast<std::ptrdiff_t>(i), x.begin() + end),
                 std::vector<float>(x.begin() + static_cast<std::ptrdiff_t>(i), x.begin() + end)});
            out.insert(out.end(), y.l.begin(), y.l.end());
        }
        EXPECT_LE(largestStep(out, 4000), 1.25f * steady) << "parameter " << index;
        if (index == Gravelix::kOpampClipping || index == Gravelix::kDiodeClipping) {
            // Back and forth between the ends every 100 samples.
            HqProbe jumping;
            jumping.setProgram(1);
            std::vector<float> jumps;
            for (std::size_t i = 0; i < n; i += 100) {
                jumping.setParameter(index, (i / 100) % 2 ? 1.0f : 0.0f);
                const auto end = static_cast<std::ptrdiff_t>(std::min(n, i + 100));
                const std::vector<float> part(x.begin() + static_cast<std::ptrdiff_t>(i),
                                              x.begin() + end);
                const Stereo y = process(jumping, {part, part});
                jumps.insert(jumps.end(), y.l.begin(), y.l.end());
            }
            const float top = *std::max_element(jumps.begin() + 4000, jumps.end());
            EXPECT_LE(top, 1.25f * peak) << "parameter " << index;
        }
    }
    // A program change mid-tone, every way round: the filters' states meet new gains and ring
    // (as in the plain pedal), but never past what the diode curve and the output gain allow.
    for (int from = 0; from < 4; ++from) {
        for (int to = 0; to < 4; ++to) {
            HqProbe e;
            e.setProgram(from);
            const std::vector<float> head(x.begin(), x.begin() + 8000);
            const std::vector<float> tail(x.begin() + 8000, x.end());
            process(e, {head, head});
            e.setProgram(to);
            const std::vector<float> rest = process(e, {tail, tail}).l;
            const float bound = 0.3f * 1.3f * e.chain.output.gain.value();
            for (float v : rest) {
                ASSERT_LE(std::fabs(v), bound) << from << " to " << to;
            }
        }
    }
}

TEST(HqLatency, FollowsTheRateAndIsAnnounced) {
    RecordingHost host;
    HqProbe e;
    VstInt32 last = e.getAeffect()->initialDelay;
    for (float rate : {48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f, 22050.0f, 44100.0f}) {
        const std::size_t before = host.calls().size();
        e.setSampleRate(rate);
        const VstInt32 now = e.getAeffect()->initialDelay;
        EXPECT_GE(now, 3) << rate;
        EXPECT_LE(now, 12) << rate;
        const auto calls = host.calls();
        const bool announced =
            std::any_of(calls.begin() + static_cast<std::ptrdiff_t>(before), calls.end(),
                        [](const HostCall& c) { return c.opcode == audioMasterIOChanged; });
        EXPECT_EQ(announced, now != last) << rate;
        std::printf("%g Hz: %d frames\n", static_cast<double>(rate), now);
        last = now;
    }
}

namespace {

// The power of each of the first harmonics of a 1 kHz tone, over one second after settling.
std::vector<double> harmonicPowers(const std::vector<float>& y, std::size_t from, int count) {
    std::vector<double> powers;
    for (int h = 1; h <= count; ++h) {
        const double w = 2.0 * std::numbers::pi * 1000.0 * h / 44100.0;
        const double k = 2.0 * std::cos(w);
        double s1 = 0.0, s2 = 0.0;
        for (std::size_t i = from; i < from + 44100; ++i) {
            const double s0 = static_cast<double>(y[i]) + k * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        powers.push_back(s1 * s1 + s2 * s2 - k * s1 * s2);
    }
    return powers;
}

} // namespace

// The section at 64x with the same anti-aliasing stands for the circuit: rendered at 16x, the
// harmonics up to 10 kHz and the small-signal response up to 10 kHz stay within 0.25 dB of it.
TEST(HqReference, HarmonicsAndResponseMatchA64xRendering) {
    const std::size_t n = 44100 + 11025;
    for (int program = 0; program < 4; ++program) {
        HqProbe hq, reference;
        for (HqProbe* e : {&hq, &reference}) {
            e->setProgram(program);
            e->setSampleRate(44100.0f);
        }
        reference.chain.clippers.setCorners(44100.0f, 6);
        const auto x = tone(1000.0, 0.5, n);
        const auto a = harmonicPowers(process(hq, {x, x}).l, 11025, 10);
        const auto b = harmonicPowers(process(reference, {x, x}).l, 11025, 10);
        for (std::size_t h = 0; h < a.size(); ++h) {
            // Only harmonics that stand out of the floor are compared.
            if (b[h] > b[0] * 1e-8) {
                EXPECT_NEAR(10.0 * std::log10(a[h] / b[h]), 0.0, 0.25)
                    << "program " << program << ", harmonic " << h + 1;
            }
        }
    }
    // Small signals through TS, the program that leaves a -40 dBFS tone least clipped.
    for (double hz : {20.0, 100.0, 1000.0, 5000.0, 10000.0}) {
        HqProbe hq, reference;
        for (HqProbe* e : {&hq, &reference}) {
            e->setProgram(2);
            e->setParameter(Gravelix::kInput, 0.0f);
        }
        reference.chain.clippers.setCorners(44100.0f, 6);
        const std::size_t length = 2 * 44100;
        const auto x = tone(hz, 0.01, length);
        auto rms = [&](const std::vector<float>& y) {
            double sum = 0.0;
            for (std::size_t i = 44100; i < length; ++i) {
                sum += static_cast<double>(y[i]) * y[i];
            }
            return sum;
        };
        const double ratio = rms(process(hq, {x, x}).l) / rms(process(reference, {x, x}).l);
        EXPECT_NEAR(10.0 * std::log10(ratio), 0.0, 0.25) << hz << " Hz";
    }
}

// Guards against a two-lane stereo chain that rounds, clamps or flushes any sample differently
// from the scalar chain it stands in for.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "effectprobe.h"
#include "flushdenormals.h"
#include "signalchain.h"

namespace {

#if GRAVELIX_STEREO_LANES

using Limits = std::numeric_limits<float>;

// Noise, impulses on each side, then values at and beyond every edge the chain has: the input
// bound, infinities, NaN, both zeros, subnormals and the smallest normals, and a loud burst
// followed by a long silence in which the states decay through the subnormal range.
Stereo signals() {
    Stereo s{noise(3000, 1.0f, 31), noise(3000, 1.0f, 32)};
    const auto append = [&s](std::vector<float> l, std::vector<float> r) {
        s.l.insert(s.l.end(), l.begin(), l.end());
        s.r.insert(s.r.end(), r.begin(), r.end());
    };
    std::vector<float> impulse(400), silence(400);
    impulse[0] = 1.0f;
    append(impulse, silence);
    append(silence, impulse);
    const std::vector<float> edges = {1.0e6f,
                                      -1.0e6f,
                                      1.0000001e6f,
                                      -3.0e38f,
                                      Limits::max(),
                                      Limits::lowest(),
                                      Limits::infinity(),
                                      -Limits::infinity(),
                                      Limits::quiet_NaN(),
                                      -0.0f,
                                      0.0f,
                                      Limits::denorm_min(),
                                      -1.0e-39f,
                                      Limits::min(),
                                      -Limits::min(),
                                      1.0e-30f,
                                      -1.0e-36f,
                                      1.0e5f,
                                      -1.0e5f,
                                      0.3f};
    std::vector<float> l, r;
    for (std::size_t i = 0; i < 4000; ++i) {
        l.push_back(edges[i % edges.size()]);
        r.push_back(edges[(i * 7 + 3) % edges.size()]);
    }
    append(l, r);
    append(noise(2000, 1.0e6f, 33), noise(2000, 3.0e38f, 34));
    append(noise(500, 1.0e-37f, 35), noise(500, 1.0e-38f, 36));
    append(noise(500, 2.0f, 37), noise(500, 2.0f, 38));
    append(std::vector<float>(60000), std::vector<float>(60000));
    return s;
}

using ChannelState = SignalChain::ChannelState;

std::vector<float> flatten(const ChannelState& l, const ChannelState& r) {
    static_assert(sizeof(ChannelState) % sizeof(float) == 0);
    std::vector<float> v(2 * sizeof(ChannelState) / sizeof(float));
    std::memcpy(v.data(), &l, sizeof l);
    std::memcpy(v.data() + v.size() / 2, &r, sizeof r);
    return v;
}

TEST(StereoLanes, AgreeWithTheScalarChainBitForBit) {
    const Stereo in = signals();
    for (VstInt32 program = 0; program < Gravelix::kNumPrograms; ++program) {
        for (bool flushing : {true, false}) {
            EffectProbe g;
            g.setProgram(program);
            const SignalChain& chain = g.chain;

            ChannelState left{}, right{};
            SignalChain::Lanes lanes = SignalChain::toLanes(left, right);
            Stereo scalar{std::vector<float>(in.l.size()), std::vector<float>(in.l.size())};
            Stereo vector = scalar;
            FlushDenormals flush;
            if (flushing) {
                flush.engage();
            }
            for (std::size_t i = 0; i < in.l.size(); ++i) {
                chain.stereo(in.l[i], in.r[i], left, right, scalar.l[i], scalar.r[i]);
                chain.stereo(in.l[i], in.r[i], lanes, vector.l[i], vector.r[i]);
            }
            flush.release();

            ChannelState laneLeft{}, laneRight{};
            SignalChain::fromLanes(lanes, laneLeft, laneRight);
            const std::string where =
                "program " + std::to_string(program) + (flushing ? " flushing" : " gradual");
            EXPECT_TRUE(sameBits(scalar.l, vector.l)) << where;
            EXPECT_TRUE(sameBits(scalar.r, vector.r)) << where;
            EXPECT_TRUE(sameBits(flatten(left, right), flatten(laneLeft, laneRight))) << where;
        }
    }
}

// Every change of a parameter or of the rate reaches the two-lane chain as it reaches the
// scalar one; a stale coefficient would make stereo ignore a knob that mono follows.
TEST(StereoLanes, CoefficientCopyFollowsEveryChange) {
    EffectProbe g;
    const Stereo in{noise(64, 1.0f, 41), noise(64, 1.0f, 42)};
    const auto lanesAgree = [&g, &in] {
        ChannelState left{}, right{};
        SignalChain::Lanes lanes = SignalChain::toLanes(left, right);
        for (std::size_t i = 0; i < in.l.size(); ++i) {
            float sl = 0.0f, sr = 0.0f, vl = 0.0f, vr = 0.0f;
            g.chain.stereo(in.l[i], in.r[i], left, right, sl, sr);
            g.chain.stereo(in.l[i], in.r[i], lanes, vl, vr);
            if (std::memcmp(&sl, &vl, sizeof sl) != 0 || std::memcmp(&sr, &vr, sizeof sr) != 0) {
                return false;
            }
        }
        return true;
    };
    EXPECT_TRUE(lanesAgree());
    for (VstInt32 index = 0; index < Gravelix::kNumParams; ++index) {
        for (float v : {0.0f, 0.37f, 1.0f}) {
            g.setParameter(index, v);
            EXPECT_TRUE(lanesAgree()) << "parameter " << index << " at " << v;
        }
    }
    for (float rate : {48000.0f, 8000.0f, 96000.0f}) {
        g.setSampleRate(rate);
        EXPECT_TRUE(lanesAgree()) << rate;
    }
    g.setProgram(2);
    EXPECT_TRUE(lanesAgree());
}

// The lanes really do reach subnormals: after a note, the silence leaves states there unless
// flush-to-zero is on, and then it leaves none in either lane.
TEST(StereoLanes, FlushToZeroReachesBothLanes) {
    EffectProbe g;
    const auto subnormalStates = [&](bool flushing) {
        ChannelState left{}, right{};
        SignalChain::Lanes lanes = SignalChain::toLanes(left, right);
        FlushDenormals flush;
        if (flushing) {
            flush.engage();
        }
        for (int i = 0; i < 60000; ++i) {
            const float in = i < 2000 ? 0.9f : 0.0f;
            float l = 0.0f, r = 0.0f;
            g.chain.stereo(in, -in, lanes, l, r);
        }
        flush.release();
        SignalChain::fromLanes(lanes, left, right);
        int count = 0;
        for (float s : flatten(left, right)) {
            count += std::fpclassify(s) == FP_SUBNORMAL;
        }
        return count;
    };
    EXPECT_GT(subnormalStates(false), 0);
    EXPECT_EQ(subnormalStates(true), 0);
}

#else

TEST(StereoLanes, AgreeWithTheScalarChainBitForBit) {
    GTEST_SKIP() << "no two-lane chain on this CPU: the stereo chain is the scalar one";
}

#endif

} // namespace

// Guards against two-lane primitives that answer otherwise on one instruction set than on the
// other: NEON's own min and max order NaN and the zeros unlike SSE2's and do not flush the
// operand they pick as SSE2's do, and its conversions may leave the upper lanes; any such
// difference moves the stereo output of an ARM build off the tables every build is held to.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

#include "flushdenormals.h"
#include "hqmath.h"
#include "lanesteps.h"

namespace {

#if GRAVELIX_STEREO_LANES

using Limits = std::numeric_limits<float>;

// Read through a volatile so the compiler cannot fold a primitive at build time, where the
// flush-to-zero flag does not apply.
float opaque(float v) {
    volatile float x = v;
    return x;
}
double opaque(double v) {
    volatile double x = v;
    return x;
}
std::uint32_t bits(float v) {
    return std::bit_cast<std::uint32_t>(v);
}
std::uint64_t bits(double v) {
    return std::bit_cast<std::uint64_t>(v);
}

struct Case {
    float a, b;
    float max, min; // what maxps(a, b) and minps(a, b) answer in lane 0
};

// The picks of SSE2's maxps and minps: the first operand only when it is greater (less), else
// the second, NaN and equal zeros included.
void expectPicks(const Case& c, float flushedSubnormal) {
    const auto pick = [](float want, float sub, float replacement) {
        return bits(want) == bits(sub) ? replacement : want;
    };
    const lanes::Floats a = lanes::pair(opaque(c.a), opaque(c.b));
    const lanes::Floats b = lanes::pair(opaque(c.b), opaque(c.a));
    const float max = pick(c.max, Limits::denorm_min(), flushedSubnormal);
    const float min = pick(c.min, -Limits::denorm_min(), -flushedSubnormal);
    EXPECT_EQ(bits(lanes::left(lanes::maxOf(a, b))), bits(max)) << c.a << ", " << c.b;
    EXPECT_EQ(bits(lanes::left(lanes::minOf(a, b))), bits(min)) << c.a << ", " << c.b;
    const hqmath::Pair da = lanes::pair(opaque(double(c.a)), opaque(double(c.b)));
    const hqmath::Pair db = lanes::pair(opaque(double(c.b)), opaque(double(c.a)));
    // Every float is a normal double: nothing to flush there.
    EXPECT_EQ(bits(hqmath::maxOf(da, db)[0]), bits(double(c.max))) << c.a << ", " << c.b;
    EXPECT_EQ(bits(hqmath::minOf(da, db)[0]), bits(double(c.min))) << c.a << ", " << c.b;
}

const float kNaN = Limits::quiet_NaN();
const Case kCases[] = {
    {1.0f, 2.0f, 2.0f, 1.0f},
    {kNaN, 1.0f, 1.0f, 1.0f},
    {1.0f, kNaN, kNaN, kNaN},
    {0.0f, -0.0f, -0.0f, -0.0f},
    {-0.0f, 0.0f, 0.0f, 0.0f},
    {Limits::denorm_min(), -1.0f, Limits::denorm_min(), -1.0f},
    {-Limits::denorm_min(), 1.0f, 1.0f, -Limits::denorm_min()},
};

TEST(Lanes, MinAndMaxPickAsSse2WithAndWithoutFlushToZero) {
    for (const Case& c : kCases) {
        expectPicks(c, Limits::denorm_min());
    }
    FlushDenormals flush;
    flush.engage();
    for (const Case& c : kCases) {
        expectPicks(c, 0.0f);
    }
}

// The double forms see subnormals of their own range.
TEST(Lanes, DoubleMinAndMaxFlushThePickedSubnormal) {
    const double tiny = std::numeric_limits<double>::denorm_min();
    FlushDenormals flush;
    flush.engage();
    const hqmath::Pair a = lanes::pair(opaque(tiny), opaque(-tiny));
    const hqmath::Pair b = lanes::pair(opaque(-1.0), opaque(1.0));
    EXPECT_EQ(bits(hqmath::maxOf(a, b)[0]), bits(0.0));
    EXPECT_EQ(bits(hqmath::minOf(a, b)[1]), bits(-0.0));
    // The absolute value is a bit operation: no flushing.
    EXPECT_EQ(bits(hqmath::absOf(a)[1]), bits(tiny));
}

TEST(Lanes, AbsoluteValueKeepsSubnormalBitsUnderFlushToZero) {
    FlushDenormals flush;
    flush.engage();
    const float tiny = -Limits::denorm_min();
    const lanes::Floats v = lanes::absOf(lanes::pair(opaque(tiny), opaque(-kNaN)));
    EXPECT_EQ(bits(lanes::left(v)), bits(Limits::denorm_min()));
    EXPECT_EQ(bits(lanes::right(v)), bits(kNaN));
}

// Only lanes 0 and 1 are written from doubles; 2 and 3 must be zero as SSE2 leaves them, or the
// float steps that follow would compute on leftovers.
TEST(Lanes, NarrowingLeavesTheUpperLanesZero) {
    const lanes::Floats v = lanes::narrow(lanes::pair(opaque(1.0 / 3.0), opaque(-2.5)));
    float all[4];
    std::memcpy(all, &v, sizeof all);
    EXPECT_EQ(all[0], static_cast<float>(1.0 / 3.0));
    EXPECT_EQ(all[1], -2.5f);
    EXPECT_EQ(bits(all[2]), 0u);
    EXPECT_EQ(bits(all[3]), 0u);
}

TEST(Lanes, BoundedInputAtEveryEdge) {
    const struct {
        float in, out;
    } edges[] = {{1.0e6f, 1.0e6f},
                 {-1.0e6f, -1.0e6f},
                 {1.0000001e6f, 1.0e6f},
                 {-3.0e38f, -1.0e6f},
                 {Limits::infinity(), 0.0f},
                 {-Limits::infinity(), 0.0f},
                 {kNaN, 0.0f},
                 {-0.0f, -0.0f},
                 {-Limits::denorm_min(), -Limits::denorm_min()}};
    FlushDenormals flush;
    flush.engage();
    for (const auto& e : edges) {
        const float in = opaque(e.in);
        EXPECT_EQ(bits(lanes::left(lanes::boundedInput(lanes::pair(in, 0.5f)))), bits(e.out))
            << e.in;
        EXPECT_EQ(bits(lanes::right(lanes::boundedInput(lanes::pair(0.5f, in)))), bits(e.out))
            << e.in;
    }
}

#else

TEST(Lanes, MinAndMaxPickAsSse2WithAndWithoutFlushToZero) {
    GTEST_SKIP() << "no two-lane chain on this CPU";
}

#endif

} // namespace

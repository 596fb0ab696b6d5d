// Guards against display texts that are wrong, rounded where they must be truncated, or that
// overrun the host's buffer.
#include "recordinghost.h"
#include "testeffect.h"
#include "valuetotext.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace {

// Runs a conversion into a guarded buffer and checks that nothing past text[maxLen] changed.
template <typename F> std::string convert(F&& f, VstInt32 maxLen = kVstMaxParamStrLen) {
    char buffer[64];
    std::memset(buffer, '#', sizeof(buffer));
    f(buffer, maxLen);
    for (std::size_t i = std::size_t(maxLen) + 1; i < sizeof(buffer); ++i) {
        EXPECT_EQ(buffer[i], '#') << "wrote past the bound at " << i;
    }
    EXPECT_EQ(buffer[maxLen], 0);
    return buffer;
}

std::string f2s(float v, VstInt32 maxLen = kVstMaxParamStrLen) {
    return convert([v](char* t, VstInt32 n) { ValueToText::float2string(v, t, n); }, maxLen);
}

std::string i2s(VstInt32 v, VstInt32 maxLen = 16) {
    return convert([v](char* t, VstInt32 n) { ValueToText::int2string(v, t, n); }, maxLen);
}

TEST(BoundedCopy, CopyZeroFillsAndAppendStopsAtTheBound) {
    char text[12];
    std::memset(text, '#', sizeof(text));
    vst_strncpy(text, "Output", 8);
    EXPECT_EQ(std::memcmp(text, "Output\0\0\0", 9), 0);
    EXPECT_EQ(text[9], '#');

    vst_strncpy(text, "Opamp Clipping", 8);
    EXPECT_STREQ(text, "Opamp Cl");
    vst_strncpy(text, "ab", 8);
    vst_strncat(text, "cdefghijk", 8);
    EXPECT_STREQ(text, "abcdefgh");
    EXPECT_EQ(text[9], '#');

    std::memset(text, '#', sizeof(text));
    EXPECT_EQ(vst_strncpy(text, "x", -1), text); // no bound to honour: nothing written
    EXPECT_EQ(text[0], '#');
}

TEST(Float2String, FixedEightCharacterTexts) {
    EXPECT_EQ(f2s(0.0f), "0.000000");
    EXPECT_EQ(f2s(0.5f), "0.500000");
    EXPECT_EQ(f2s(-0.5f), "-0.50000");
    EXPECT_EQ(f2s(1234.5678f), "1234.567");
    EXPECT_EQ(f2s(0.99999994f), "0.999999"); // truncated, never rounded up
    EXPECT_EQ(f2s(1234567.0f), "1234567.");
    EXPECT_EQ(f2s(12345678.0f), "2345678.");
    EXPECT_EQ(f2s(-1234567.0f), "-234567.");
    EXPECT_EQ(f2s(99999992.0f), "9999992.");
    EXPECT_EQ(f2s(100000000.0f), "Huge!");
    EXPECT_EQ(f2s(-10000000.0f), "Huge!");
    EXPECT_EQ(f2s(std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(f2s(std::numeric_limits<float>::quiet_NaN()), "NaN");
    EXPECT_EQ(f2s(0.5f, 4), "0.50");
}

TEST(Int2String, DecimalTextsAndLimits) {
    EXPECT_EQ(i2s(42), "42");
    EXPECT_EQ(i2s(-7), "-7");
    EXPECT_EQ(i2s(0), "0");
    EXPECT_EQ(i2s(99999999), "99999999");
    EXPECT_EQ(i2s(100000000), "Huge!");
    EXPECT_EQ(i2s(-123456789, 8), "-1234567");
    EXPECT_EQ(i2s(std::numeric_limits<VstInt32>::min()), "-2147483648");
    EXPECT_EQ(i2s(-1000000000), "-1000000000");
}

TEST(EffectTextTools, DecibelsHertzAndMilliseconds) {
    CallLog log;
    TestEffect effect(nullptr, log);
    using Tool = void (AudioEffect::*)(float, char*, VstInt32);
    auto text = [&](Tool tool, float v) {
        return convert([&](char* t, VstInt32 n) { (effect.*tool)(v, t, n); });
    };
    EXPECT_EQ(text(&AudioEffect::dB2string, 1.0f), "0.000000");
    EXPECT_EQ(text(&AudioEffect::dB2string, 0.5f), "-6.02060"); // single-precision logarithm
    EXPECT_EQ(text(&AudioEffect::dB2string, 0.0f), "-oo");
    EXPECT_EQ(text(&AudioEffect::dB2string, -1.0f), "-oo");
    EXPECT_EQ(text(&AudioEffect::Hz2string, 0.0f), "0.000000");
    EXPECT_EQ(text(&AudioEffect::Hz2string, 100.0f), "441.0000");
    EXPECT_EQ(text(&AudioEffect::ms2string, 44100.0f), "1000.000");
    effect.setSampleRate(48000.0f);
    EXPECT_EQ(text(&AudioEffect::Hz2string, 100.0f), "480.0000");
    effect.setSampleRate(0.0f); // no rate yet: a defined text, not a crash
    EXPECT_EQ(text(&AudioEffect::ms2string, 1.0f), "Huge!");
    EXPECT_EQ(text(&AudioEffect::ms2string, 0.0f), "NaN");
}

} // namespace

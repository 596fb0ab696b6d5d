// Guards the pedal core that every plug-in format shares: parameter texts a host cannot turn
// back into the value it showed, and saved states that load wrongly, crash on bad bytes or stop
// loading in a later version.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "effectprobe.h"
#include "pedalcore.h"
#include "pedalstate.h"
#include "pedalstatefixture.h"

namespace {

std::string text(std::int32_t index, float v) {
    char shown[PedalCore::kTextChars + 1] = {};
    PedalCore::displayText(index, v, shown);
    return shown;
}

TEST(PedalCoreText, SameTextsAsTheEffectShows) {
    EffectProbe g;
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
        for (float v : {0.0f, 0.13f, 0.5f, 0.7f, 0.999f, 1.0f}) {
            g.setParameter(index, v);
            char shown[32] = {};
            g.getParameterDisplay(index, shown);
            EXPECT_EQ(text(index, v), shown) << parameterInfo(index).name << " at " << v;
        }
    }
}

TEST(PedalCoreText, EveryShownTextReadsBackToAValueShowingIt) {
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
        for (int step = 0; step <= 200; ++step) {
            const float v = static_cast<float>(step) / 200.0f;
            const std::string shown = text(index, v);
            const std::optional<float> back = PedalCore::valueFromText(index, shown.c_str());
            ASSERT_TRUE(back) << parameterInfo(index).name << " \"" << shown << "\"";
            EXPECT_EQ(text(index, *back), shown) << parameterInfo(index).name << " at " << v;
        }
    }
}

TEST(PedalCoreText, TypedNumbersUnitsAndNonsense) {
    // A player types decibels for a decibel row, with or without the unit.
    const std::optional<float> output = PedalCore::valueFromText(kOutput, " -6 dB ");
    ASSERT_TRUE(output);
    EXPECT_EQ(text(kOutput, *output).substr(0, 5), "-6.00");
    EXPECT_EQ(PedalCore::valueFromText(kInput, "100"), 1.0f) << "beyond the range: the top";
    EXPECT_EQ(PedalCore::valueFromText(kDistortion, "0.25"), 0.25f);
    EXPECT_EQ(PedalCore::valueFromText(kDistortion, "7"), 1.0f);
    EXPECT_EQ(PedalCore::valueFromText(kStereo, "stereo"), 1.0f);
    EXPECT_EQ(PedalCore::valueFromText(kEffect, "Off"), 0.0f);
    EXPECT_EQ(PedalCore::valueFromText(kPickup, "1"), 1.0f);
    for (const char* bad : {"", "loud", "0.5 Hz", "nan", "Stereo", "2"}) {
        EXPECT_FALSE(PedalCore::valueFromText(kPickup, bad)) << bad;
    }
    EXPECT_FALSE(PedalCore::valueFromText(kOutput, "inf dB"));
    EXPECT_FALSE(PedalCore::valueFromText(kParameterCount, "1"));
    EXPECT_FALSE(PedalCore::valueFromText(kOutput, nullptr));
}

TEST(PedalStateStream, WritesAndReadsTheReleasedLayout) {
    PedalCore core;
    core.applyProgram(2);
    core.set(kDistortion, 0.3f);
    const PedalState::Bytes bytes = core.state().encode();
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), kVersion1);

    PedalCore other;
    const std::optional<PedalState> read = PedalState::decode(kVersion1.data(), kVersion1.size());
    ASSERT_TRUE(read);
    other.restore(*read);
    EXPECT_EQ(other.program(), 2);
    EXPECT_EQ(other.value(kDistortion), 0.3f);
    EXPECT_EQ(other.programs[2].distortion, 0.3f) << "the program's record takes the value";
    EXPECT_EQ(other.state().encode(), bytes) << "save, load, save: the same bytes";
}

TEST(PedalStateStream, RefusesWhatItDidNotWrite) {
    auto refused = [](std::vector<std::uint8_t> b) {
        return !PedalState::decode(b.data(), b.size());
    };
    std::vector<std::uint8_t> b = kVersion1;
    EXPECT_TRUE(refused({}));
    EXPECT_FALSE(PedalState::decode(nullptr, PedalState::kBytes));
    EXPECT_TRUE(refused({kVersion1.begin(), kVersion1.end() - 1})) << "short";
    b.push_back(0);
    EXPECT_TRUE(refused(b)) << "long";
    b = kVersion1;
    b[0] = 'g';
    EXPECT_TRUE(refused(b)) << "magic";
    for (std::uint8_t version : {0, 2, 255}) {
        b = kVersion1;
        b[4] = version;
        EXPECT_TRUE(refused(b)) << "version " << int(version);
    }
    b = kVersion1;
    b[8] = 4;
    EXPECT_TRUE(refused(b)) << "program out of range";
    for (std::uint32_t bits : {0x7fc00000u, 0x3fc00000u, 0xbf800000u, 0x7f800000u}) {
        b = kVersion1;
        for (int i = 0; i < 4; ++i) {
            b[16 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
        }
        EXPECT_TRUE(refused(b)) << "value bits " << std::hex << bits;
    }
}

} // namespace

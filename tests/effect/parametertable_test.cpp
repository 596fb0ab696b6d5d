// Guards against a parameter table whose rows disagree with what the effect stores, answers,
// shows and applies for each parameter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "effectprobe.h"
#include "valuetotext.h"

namespace {

float answerFor(const ParameterInfo& row, float v) {
    switch (row.answer) {
    case ParameterAnswer::value:
        return v;
    case ParameterAnswer::aboveHalf:
        return v > 0.5f ? 1.0f : 0.0f;
    case ParameterAnswer::atOne:
        return v == 1.0f ? 1.0f : 0.0f;
    }
    return -1.0f;
}

TEST(ParameterTable, EveryProgramLandsInTheFieldAndAnswerOfItsRow) {
    for (VstInt32 program = 0; program < Gravelix::kNumPrograms; ++program) {
        EffectProbe g;
        g.setProgram(program);
        const GravelixProgram& factory = kFactoryPrograms[program];
        EXPECT_STREQ(g.programs[static_cast<std::size_t>(program)].name, factory.name);
        for (const ParameterInfo& row : kParameterTable) {
            const float v = factory.*row.field;
            EXPECT_EQ(g.getParameter(row.index), answerFor(row, v)) << row.name;
            EXPECT_EQ(g.programs[static_cast<std::size_t>(program)].*row.field, v) << row.name;
        }
    }
}

// Setting one parameter writes its own program field and no other, whatever the row order.
TEST(ParameterTable, EachIndexWritesOnlyItsOwnField) {
    for (const ParameterInfo& row : kParameterTable) {
        EffectProbe g;
        const GravelixProgram before = g.programs[0];
        g.setParameter(row.index, 0.25f);
        for (const ParameterInfo& other : kParameterTable) {
            const float expected = other.index == row.index ? 0.25f : before.*other.field;
            EXPECT_EQ(g.programs[0].*other.field, expected) << row.name << " / " << other.name;
        }
    }
}

// The dB rows show the gain the chain actually applies, not the other row's.
TEST(ParameterTable, DecibelTextsShowTheGainInUse) {
    EffectProbe g;
    g.setParameter(Gravelix::kOutput, 0.9f);
    g.setParameter(Gravelix::kInput, 0.2f);
    for (auto [index, gain] : {std::pair{Gravelix::kOutput, static_cast<float>(g.outputGain)},
                               {Gravelix::kInput, static_cast<float>(g.inputGain)}}) {
        ASSERT_EQ(parameterInfo(index).text, ParameterText::decibels);
        char shown[32] = {}, expected[32] = {};
        g.getParameterDisplay(index, shown);
        ValueToText::dB2string(gain, expected, kVstMaxParamStrLen);
        EXPECT_STREQ(shown, expected) << parameterInfo(index).name;
    }
}

} // namespace

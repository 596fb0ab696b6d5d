// Guards against wrong identity answers, parameter texts and program bookkeeping.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "effectprobe.h"

namespace {

std::string display(Gravelix& g, VstInt32 index) {
    char text[32] = {};
    g.getParameterDisplay(index, text);
    return text;
}

TEST(GravelixIdentity, RecordAndNamesAfterConstruction) {
    RecordingHost host;
    AudioEffect* created = createEffectInstance(RecordingHost::callback());
    ASSERT_NE(created, nullptr);
    AEffect* e = created->getAeffect();
    EXPECT_EQ(e->numPrograms, 4);
    EXPECT_EQ(e->numParams, 10);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->uniqueID, 0x47727678);
    EXPECT_TRUE(e->flags & effFlagsCanReplacing);
    EXPECT_FALSE(e->flags & (effFlagsProgramChunks | effFlagsIsSynth | effFlagsCanDoubleReplacing));
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(host.count(), 0u) << "construction (resume included) asks nothing of the host";

    char text[64];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(e->dispatcher(e, effGetEffectName, 0, 0, text, 0.0f), 1);
    EXPECT_STREQ(text, "Gravelix x64");
    EXPECT_EQ(text[32], '\0');
    e->dispatcher(e, effGetVendorString, 0, 0, text, 0.0f);
    EXPECT_STREQ(text, "Keldwyn");
    e->dispatcher(e, effGetProductString, 0, 0, text, 0.0f);
    EXPECT_STREQ(text, "Gravelix x64");
    EXPECT_EQ(e->dispatcher(e, effGetVendorVersion, 0, 0, nullptr, 0.0f), 140);
    EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1); // deletes the effect
}

TEST(GravelixParameters, NamesLabelsAndStartingTexts) {
    EffectProbe g;
    const char* names[] = {"Output",   "Distortion", "Input",  "Opamp Clipping", "Diode Clipping",
                           "High Cut", "Low Cut",    "Pickup", "Stereo",         "Effect"};
    const char* shown[] = {"0.000001", "0.600000", "0.000000", "0.500000", "0.500000",
                           "0.000000", "0.000000", "On",       "Mono",     "On"};
    for (VstInt32 i = 0; i < 10; ++i) {
        char name[32];
        std::memset(name, 'x', sizeof name);
        g.getParameterName(i, name);
        EXPECT_STREQ(name, names[i]);
        EXPECT_EQ(name[std::strlen(names[i]) + 1], 'x') << "copied whole, nothing more";
        char label[8] = "zz";
        g.getParameterLabel(i, label);
        EXPECT_STREQ(label, i == 0 || i == 2 ? "dB" : "");
        EXPECT_EQ(display(g, i), shown[i]) << names[i];
    }
    char untouched[8] = "keep";
    g.getParameterName(10, untouched);
    g.getParameterLabel(-1, untouched);
    g.getParameterDisplay(10, untouched);
    EXPECT_STREQ(untouched, "keep");
    EXPECT_EQ(g.getParameter(10), 0.0f);
    EXPECT_EQ(g.getParameter(-1), 0.0f);
}

TEST(GravelixParameters, SwitchThresholdsClampingAndFallbackTexts) {
    EffectProbe g;
    g.setParameter(Gravelix::kStereo, 0.5f);
    EXPECT_EQ(g.getParameter(Gravelix::kStereo), 0.0f);
    EXPECT_EQ(display(g, Gravelix::kStereo), "Stereo");
    g.setParameter(Gravelix::kStereo, 0.49f);
    EXPECT_EQ(display(g, Gravelix::kStereo), "Mono");
    g.setParameter(Gravelix::kStereo, 0.7f);
    EXPECT_EQ(g.getParameter(Gravelix::kStereo), 1.0f);
    EXPECT_EQ(g.programs[0].stereo, 0.7f) << "the record keeps the value, not the switch";
    g.setParameter(Gravelix::kEffect, 0.99f);
    EXPECT_EQ(g.getParameter(Gravelix::kEffect), 0.0f);
    EXPECT_EQ(display(g, Gravelix::kEffect), "Off");
    g.setParameter(Gravelix::kPickup, 0.7f);
    EXPECT_EQ(g.getParameter(Gravelix::kPickup), 1.0f);
    EXPECT_EQ(display(g, Gravelix::kPickup), "Off");

    g.setParameter(Gravelix::kOutput, 1.5f);
    EXPECT_EQ(g.getParameter(Gravelix::kOutput), 1.0f);
    EXPECT_EQ(display(g, Gravelix::kOutput), "20.00000");
    g.setParameter(Gravelix::kDistortion, -2.0f);
    EXPECT_EQ(g.getParameter(Gravelix::kDistortion), 0.0f);
    g.setParameter(42, 0.3f);
    EXPECT_EQ(g.lastValue, 0.3f);
}

TEST(GravelixParameters, NaNChangesNothing) {
    EffectProbe g;
    g.setProgram(2);
    const auto coefficients = g.coefficients();
    const GravelixProgram record = g.programs[2];
    const float last = g.lastValue;
    for (VstInt32 i = -1; i <= 10; ++i) {
        g.setParameter(i, std::nanf(""));
    }
    EXPECT_TRUE(sameBits(g.coefficients(), coefficients));
    EXPECT_EQ(std::memcmp(&g.programs[2], &record, sizeof record), 0);
    EXPECT_EQ(g.lastValue, last);
}

TEST(GravelixPrograms, FactoryValuesEditsAndNames) {
    EffectProbe g;
    const char* names[] = {"Vorn", "Hi-Gain", "TS", "Gritty"};
    char text[32] = "keep";
    EXPECT_FALSE(g.getProgramNameIndexed(0, 4, text));
    EXPECT_FALSE(g.getProgramNameIndexed(0, -1, text));
    EXPECT_STREQ(text, "keep");
    for (VstInt32 p = 0; p < 4; ++p) {
        EXPECT_TRUE(g.getProgramNameIndexed(0, p, text));
        EXPECT_STREQ(text, names[p]);
    }
    g.setProgram(1);
    const float hiGain[] = {0.5f, 0.8f, 0.8f, 1.0f, 1.0f, 0.6f, 0.4f, 1.0f, 0.0f, 1.0f};
    for (VstInt32 i = 0; i < 10; ++i) {
        EXPECT_EQ(g.getParameter(i), hiGain[i]) << i;
    }
    g.setProgram(4);
    g.setProgram(-1);
    EXPECT_EQ(g.getProgram(), 1);

    g.setProgram(2);
    g.setParameter(Gravelix::kDistortion, 0.3f);
    g.setProgram(0);
    EXPECT_EQ(g.getParameter(Gravelix::kDistortion), 0.6f);
    g.setProgram(2);
    EXPECT_EQ(g.getParameter(Gravelix::kDistortion), 0.3f);

    char name[] = "Init";
    g.setProgramName(name);
    g.getProgramName(text);
    EXPECT_STREQ(text, "Init 3");
    g.getProgramNameIndexed(0, 2, text);
    EXPECT_STREQ(text, "Init");
    char longName[] = "A name much longer than twenty-three characters";
    g.setProgramName(longName);
    g.getProgramName(text);
    EXPECT_EQ(std::string(text), std::string(longName, 23));
}

} // namespace

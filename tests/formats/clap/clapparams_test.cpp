// Guards against a CLAP host seeing the pedal's parameters other than the VST 2.4 host does:
// ids, names, flags or defaults that differ, texts that differ or do not read back, values a
// flush while inactive drops, and a flush that sends the host events it never asked for.
#include "clapinstance.h"
#include "claprunner.h"
#include "pluginrunner.h"
#include "recordinghost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class ClapParams : public ::testing::Test {
protected:
    RecordingHost host;
    PluginLibrary vstLibrary{GRAVELIX_PLUGIN};
    ClapLibrary library{GRAVELIX_CLAP};

    void SetUp() override {
        ASSERT_TRUE(vstLibrary.loaded()) << vstLibrary.error();
        ASSERT_TRUE(library.loaded()) << library.error();
    }

    static std::string vstString(Plugin& vst, VstInt32 opcode, int index) {
        char text[64] = {};
        vst.effect->dispatcher(vst.effect, opcode, index, 0, text, 0.0f);
        return text;
    }
    static std::string clapText(ClapInstance& clap, int index, double value) {
        char text[CLAP_NAME_SIZE] = {};
        EXPECT_TRUE(clap.params()->value_to_text(clap.plugin(), static_cast<clap_id>(index), value,
                                                 text, sizeof text));
        return text;
    }
};

TEST_F(ClapParams, TheTenParametersAsTheVstPluginShowsThem) {
    Plugin vst(vstLibrary, 44100.0f);
    ClapInstance clap(library);
    ASSERT_TRUE(vst.ok() && clap.plugin() && clap.params());
    const clap_plugin_params_t* params = clap.params();
    ASSERT_EQ(params->count(clap.plugin()), 10u);
    for (std::uint32_t i = 0; i < 10; ++i) {
        SCOPED_TRACE("parameter " + std::to_string(i));
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(clap.plugin(), i, &info));
        const int index = static_cast<int>(i);
        EXPECT_EQ(info.id, i);
        EXPECT_EQ(std::string(info.name), vstString(vst, effGetParamName, index));
        const bool isSwitch = i == 7 || i == 8;
        const clap_param_info_flags steps = CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_BYPASS;
        clap_param_info_flags expected = 0;
        if (i == 9) {
            expected = steps;
        } else if (isSwitch) {
            expected = CLAP_PARAM_IS_STEPPED;
        }
        EXPECT_EQ(info.flags & steps, expected);
        EXPECT_TRUE(info.flags & CLAP_PARAM_IS_AUTOMATABLE);
        EXPECT_EQ(info.min_value, 0.0);
        EXPECT_EQ(info.max_value, 1.0);
        // Program 0's values, as a fresh instance of either format has them.
        const double fresh = clapValue(index, vst.effect->getParameter(vst.effect, index));
        EXPECT_EQ(info.default_value, fresh);
        EXPECT_EQ(clap.value(i), fresh);
    }
    clap_param_info_t info{};
    EXPECT_FALSE(params->get_info(clap.plugin(), 10, &info));
    EXPECT_FALSE(clap.value(10));
    char text[16];
    EXPECT_FALSE(params->value_to_text(clap.plugin(), 10, 0.5, text, sizeof text));
}

// Switches only at their two positions: in between, the VST 2.4 texts follow their own rule
// (Pickup reads Off until 1), while a CLAP host sends a stepped parameter whole numbers.
TEST_F(ClapParams, TextsAreTheVstTextsAndReadBack) {
    Plugin vst(vstLibrary, 44100.0f);
    ClapInstance clap(library);
    ASSERT_TRUE(vst.ok() && clap.plugin() && clap.params());
    std::vector<float> grid;
    for (int step = 0; step <= 100; ++step) {
        grid.push_back(static_cast<float>(step) / 100.0f);
    }
    grid.insert(grid.end(), {1e-6f, 0.333f, 0.4999f, 0.5001f, 0.999f, 0.9999f});
    for (int index = 0; index < 10; ++index) {
        const bool isSwitch = index >= 7;
        for (float v : grid) {
            if (isSwitch && v != 0.0f && v != 1.0f) {
                continue;
            }
            SCOPED_TRACE("parameter " + std::to_string(index) + " at " + std::to_string(v));
            vst.setParameter(index, v);
            const std::string shown = clapText(clap, index, clapValue(index, v));
            EXPECT_EQ(shown, vstString(vst, effGetParamDisplay, index));
            double back = -1.0;
            ASSERT_TRUE(clap.params()->text_to_value(clap.plugin(), static_cast<clap_id>(index),
                                                     shown.c_str(), &back));
            EXPECT_EQ(clapText(clap, index, back), shown);
        }
    }
    double v = -1.0;
    EXPECT_TRUE(clap.params()->text_to_value(clap.plugin(), 9, "Off", &v));
    EXPECT_EQ(v, 1.0) << "the footswitch off is bypassed";
    EXPECT_TRUE(clap.params()->text_to_value(clap.plugin(), 9, "On", &v));
    EXPECT_EQ(v, 0.0);
    EXPECT_FALSE(clap.params()->text_to_value(clap.plugin(), 1, "loud", &v));
    EXPECT_FALSE(clap.params()->text_to_value(clap.plugin(), 10, "0.5", &v));
}

// A host edits parameters of an instance it has not activated through flush: the values are
// taken at once, read back, and heard once it runs; nothing comes back for the host's own edits.
TEST_F(ClapParams, FlushWhileInactiveTakesTheValuesAndSendsNothing) {
    ClapInstance clap(library);
    ASSERT_TRUE(clap.plugin());
    const std::vector<ParamChange> changes = {{0, 0, 0.9}, {0, 1, 0.25}, {0, 7, 0.0},
                                              {0, 8, 1.0}, {0, 9, 1.0},  {0, 6, 0.7}};
    EXPECT_TRUE(clap.flush(changes).empty());
    for (const ParamChange& c : changes) {
        EXPECT_EQ(clap.value(c.id), static_cast<double>(static_cast<float>(c.value)))
            << "parameter " << c.id;
    }
    const ClapInstance::Calls calls = clap.calls();
    EXPECT_EQ(calls.requestFlush, 0);
    EXPECT_TRUE(calls.rescans.empty());
    EXPECT_EQ(calls.markDirty, 0);

    // Heard as the VST 2.4 plug-in sounds with the same values; the bypass then engaged again.
    Plugin vst(vstLibrary, 44100.0f);
    ASSERT_TRUE(vst.ok());
    for (const auto& [index, v] :
         {std::pair{0, 0.9f}, {1, 0.25f}, {7, 0.0f}, {8, 1.0f}, {6, 0.7f}, {9, 1.0f}}) {
        vst.setParameter(index, v);
    }
    ASSERT_TRUE(clap.activate(44100.0, 64));
    EXPECT_TRUE(clap.flush({{0, 9, 0.0}}).empty());
    std::vector<float> inL = noise(64, 1.0f, 11), inR = noise(64, 0.5f, 12);
    std::vector<float> vstL(64), vstR(64), clapL(64), clapR(64);
    float* ins[2] = {inL.data(), inR.data()};
    float* outs[2] = {vstL.data(), vstR.data()};
    for (int block = 0; block < 8; ++block) {
        vst.effect->processReplacing(vst.effect, ins, outs, 64);
        EXPECT_TRUE(clap.process(inL.data(), inR.data(), clapL.data(), clapR.data(), 64).empty());
        ASSERT_EQ(std::memcmp(vstL.data(), clapL.data(), 64 * sizeof(float)), 0);
        ASSERT_EQ(std::memcmp(vstR.data(), clapR.data(), 64 * sizeof(float)), 0);
    }
}

} // namespace

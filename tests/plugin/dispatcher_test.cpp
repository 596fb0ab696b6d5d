// Guards against host requests that reach the wrong operation, mangle their operands or
// results, or call into an effect or editor for requests that must be ignored.
#include "recordinghost.h"
#include "testeffect.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

namespace {

using Calls = std::vector<std::string>;

struct Dispatch : ::testing::Test {
    RecordingHost host;
    CallLog log;
    std::unique_ptr<TestEffect> effect = std::make_unique<TestEffect>(host.callback(), log);

    VstIntPtr send(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
        AEffect* r = effect->getAeffect();
        return r->dispatcher(r, opcode, index, value, ptr, opt);
    }
    TestEditor* attachEditor() {
        auto* editor = new TestEditor(effect.get(), log);
        effect->setEditor(editor);
        return editor;
    }
};

TEST_F(Dispatch, UnknownAndNegativeOpcodesAnswerZeroAndCallNothing) {
    attachEditor();
    for (VstInt32 opcode : {-1, -1000, 80, 1000, 0x7FFFFFFF, 9,  16, 17, 18, 20, 21, 28,
                            30, 31,    32, 36,   37,         43, 46, 53, 54, 55, 57}) {
        EXPECT_EQ(send(opcode, 1, 1, nullptr, 1.0f), 0) << "opcode " << opcode;
    }
    EXPECT_TRUE(log.calls.empty());
    EXPECT_EQ(host.count(), 0u);
}

TEST_F(Dispatch, SetProgramIsBoundedByTheProgramCount) {
    send(effSetProgram, 0, 3); // == numPrograms
    send(effSetProgram, 0, VstIntPtr(1) << 32);
    EXPECT_TRUE(log.calls.empty());
    send(effSetProgram, 0, 2);
    send(effSetProgram, 0, -1); // passed on; the effect judges negative numbers
    EXPECT_EQ(log.calls, (Calls{"setProgram 2", "setProgram -1"}));
    EXPECT_EQ(send(effGetProgram), -1);
}

TEST_F(Dispatch, MainsChangedTestsAllSixtyFourBitsAndResumeAsksOnlyForMidi) {
    send(effMainsChanged, 0, VstIntPtr(1) << 32);
    send(effMainsChanged, 0, 0);
    EXPECT_EQ(log.calls, (Calls{"resume", "suspend"}));
    effect->canDoAnswer = 2; // only exactly 1 counts
    send(effMainsChanged, 0, 1);
    EXPECT_EQ(host.count(), 0u);
    effect->canDoAnswer = 1;
    send(effMainsChanged, 0, 1);
    effect->canDoAnswer = 0;
    effect->isSynth(true);
    send(effMainsChanged, 0, 1);
    const auto wants = host.callsWith(audioMasterWantMidi);
    ASSERT_EQ(wants.size(), 2u);
    EXPECT_EQ(wants[1].value, 1);
}

TEST_F(Dispatch, OperandsAndResultsAreConverted) {
    send(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    send(effSetBlockSize, 0, (VstIntPtr(1) << 32) + 256); // truncated to 32 bits
    EXPECT_EQ(effect->getSampleRate(), 48000.0f);
    EXPECT_EQ(effect->getBlockSize(), 256);

    EXPECT_EQ(send(effIdentify), 0x4E764566);
    EXPECT_EQ(send(effGetCurrentMidiProgram), -1); // full width
    EXPECT_EQ(send(effSetChunk, 1, 12), -5);
    EXPECT_EQ(send(effGetVstVersion), 2400);
    EXPECT_EQ(send(effSetTotalSampleToProcess, 0, 77), 77);
    EXPECT_EQ(send(effCanBeAutomated, 7), 1);
    EXPECT_EQ(send(effGetProgramNameIndexed, 4, 9), 1);
    EXPECT_EQ(send(effSetBypass, 0, VstIntPtr(1) << 40), 1);
    EXPECT_EQ(log.calls, (Calls{"setChunk preset 12", "getProgramNameIndexed 9 4", "setBypass 1"}));

    char text[16] = "junk";
    EXPECT_EQ(send(effGetParamName, 1, 0, text), 0);
    EXPECT_STREQ(text, "");
    int dummy = 0;
    auto* in = reinterpret_cast<VstSpeakerArrangement*>(&dummy);
    auto* out = in;
    EXPECT_EQ(send(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 0);
    EXPECT_TRUE(in == nullptr && out == nullptr);
}

TEST_F(Dispatch, EditorRequestsWithoutAnEditorAnswerZeroAndLeaveTheHostsVariable) {
    ERect sentinel{};
    ERect* rect = &sentinel;
    EXPECT_EQ(send(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, &sentinel);
    for (VstInt32 opcode : {int(effEditOpen), int(effEditClose), int(effEditIdle),
                            int(effEditKeyDown), int(effEditKeyUp), int(effSetEditKnobMode)}) {
        EXPECT_EQ(send(opcode, 65, 1, &rect, 1.0f), 0);
    }
    EXPECT_TRUE(log.calls.empty());
}

TEST_F(Dispatch, EditorRequestsReachTheEditor) {
    TestEditor* editor = attachEditor();
    ERect* rect = nullptr;
    EXPECT_EQ(send(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect, &editor->rect_);

    int parent = 0;
    EXPECT_EQ(send(effEditOpen, 0, 0, &parent), 1);
    EXPECT_TRUE(editor->isOpen());
    send(effEditIdle);
    EXPECT_EQ(send(effSetEditKnobMode, 0, 2), 0); // the plain editor's default refuses
    send(effEditClose);
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(log.calls, (Calls{"editor.open", "editor.idle", "editor.close"}));
}

TEST_F(Dispatch, KeyRequestsBuildTheKeyRecord) {
    attachEditor();
    const VstKeyCode& key = log.lastKey;
    EXPECT_EQ(send(effEditKeyDown, 65, 0x1FF, nullptr, 3.9f), 1);
    EXPECT_TRUE(key.character == 65 && key.virt == 0xFF && key.modifier == 3);
    EXPECT_EQ(send(effEditKeyUp, -2, 0x1234, nullptr, -1.5f), 0); // the editor declines
    EXPECT_TRUE(key.character == -2 && key.virt == 0x34 && key.modifier == 0xFF);

    // Operands no integer can hold give no modifier rather than an undefined conversion.
    send(effEditKeyDown, 1, 0, nullptr, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(key.modifier, 0);
    send(effEditKeyDown, 1, 0, nullptr, 1e20f);
    EXPECT_EQ(key.modifier, 0);
}

} // namespace

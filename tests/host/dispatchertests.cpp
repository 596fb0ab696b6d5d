// Guards against host requests that reach the wrong operation, mangle their operands or
// results, or call into an effect or editor for requests that must be ignored.
#include "recordinghost.h"
#include "testeffect.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

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
    for (VstInt32 opcode :
         {-1, -1000, 80, 1000, 0x7FFFFFFF, int(effGetVu), int(effEditDraw), int(effEditMouse),
          int(effEditKey), int(effEditTop), int(effEditSleep), int(effGetNumProgramCategories),
          int(effCopyProgram), int(effSetBlockSizeAndSampleRate), int(effGetErrorText),
          int(effIdle), int(effKeysRequired)})
        EXPECT_EQ(send(opcode, 1, 1, nullptr, 1.0f), 0) << "opcode " << opcode;
    EXPECT_TRUE(log.calls.empty());
    EXPECT_EQ(host.count(), 0u);
}

TEST_F(Dispatch, SetProgramIsBoundedByTheProgramCount) {
    send(effSetProgram, 0, 3); // == numPrograms
    send(effSetProgram, 0, VstIntPtr(1) << 32);
    EXPECT_TRUE(log.calls.empty());
    send(effSetProgram, 0, 2);
    send(effSetProgram, 0, -1); // passed on; the effect judges negative numbers
    EXPECT_EQ(log.calls, (std::vector<std::string>{"setProgram 2", "setProgram -1"}));
    effect->setProgram(2);
    EXPECT_EQ(send(effGetProgram), 2);
}

TEST_F(Dispatch, MainsChangedTestsAllSixtyFourBits) {
    send(effMainsChanged, 0, VstIntPtr(1) << 32);
    send(effMainsChanged, 0, 0);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"resume", "suspend"}));
    EXPECT_EQ(host.count(), 0u); // canDo says no MIDI, so resume asks nothing
}

TEST_F(Dispatch, ResumeAsksForEventsOnlyForSynthsOrMidiReceivers) {
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
    EXPECT_EQ(wants[0].value, 1);
    EXPECT_EQ(wants[0].effect, effect->getAeffect());
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
    EXPECT_EQ(send(effCanBeAutomated, 7), 1);
    EXPECT_EQ(send(effGetProgramNameIndexed, 4, 9), 1);
    EXPECT_EQ(send(effSetBypass, 0, VstIntPtr(1) << 40), 1);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"setChunk 12 preset",
                                                   "getProgramNameIndexed 9 4", "setBypass on"}));

    char text[16] = "junk";
    EXPECT_EQ(send(effGetParamName, 1, 0, text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(send(effGetPlugCategory), kPlugCategUnknown);
}

TEST_F(Dispatch, DefaultsAnswerTheQuietValues) {
    char text[65] = {};
    EXPECT_EQ(send(effCanDo, 0, 0, text), 0);
    EXPECT_EQ(send(effGetTailSize), 0);
    EXPECT_EQ(send(effGetChunk), 0);
    EXPECT_EQ(send(effGetEffectName, 0, 0, text), 0);
    EXPECT_EQ(send(effProcessEvents), 0);
    EXPECT_EQ(send(effSetTotalSampleToProcess, 0, 77), 77);
    EXPECT_EQ(send(effGetNumMidiInputChannels), 0);
    VstSpeakerArrangement* in = reinterpret_cast<VstSpeakerArrangement*>(text);
    VstSpeakerArrangement* out = in;
    EXPECT_EQ(send(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

TEST_F(Dispatch, EditorRequestsWithoutAnEditorAnswerZeroAndLeaveTheHostsVariable) {
    ERect sentinel{};
    ERect* rect = &sentinel;
    EXPECT_EQ(send(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, &sentinel);
    for (VstInt32 opcode : {int(effEditOpen), int(effEditClose), int(effEditIdle),
                            int(effEditKeyDown), int(effEditKeyUp), int(effSetEditKnobMode)})
        EXPECT_EQ(send(opcode, 65, 1, nullptr, 1.0f), 0);
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
    EXPECT_EQ(log.calls, (std::vector<std::string>{"editor.open", "editor.idle", "editor.close"}));
}

TEST_F(Dispatch, KeyRequestsBuildTheKeyRecord) {
    attachEditor();
    EXPECT_EQ(send(effEditKeyDown, 65, 0x1FF, nullptr, 3.9f), 1);
    EXPECT_EQ(log.lastKey.character, 65);
    EXPECT_EQ(log.lastKey.virt, 0xFF);
    EXPECT_EQ(log.lastKey.modifier, 3);

    EXPECT_EQ(send(effEditKeyUp, -2, 0x1234, nullptr, -1.5f), 0); // editor answers false
    EXPECT_EQ(log.lastKey.character, -2);
    EXPECT_EQ(log.lastKey.virt, 0x34);
    EXPECT_EQ(log.lastKey.modifier, 0xFF); // -1 truncated toward zero, low byte

    EXPECT_EQ(send(effEditKeyDown, 1, 0, nullptr, std::numeric_limits<float>::quiet_NaN()), 1);
    EXPECT_EQ(log.lastKey.modifier, 0);
    EXPECT_EQ(send(effEditKeyDown, 1, 0, nullptr, 1e20f), 1);
    EXPECT_EQ(log.lastKey.modifier, 0);
}

} // namespace

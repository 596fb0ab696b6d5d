// Guards against host services that send the wrong request or operands, misread the host's
// answer, or crash or invent answers when the effect has no host.
#include "capabilities.h"
#include "recordinghost.h"
#include "speakerarrangement.h"
#include "testeffect.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Services : ::testing::Test {
    RecordingHost host;
    CallLog log;
    TestEffect effect{host.callback(), log};
    TestEffect orphan{nullptr, log}; // built without a host callback

    HostCall only(VstInt32 opcode) {
        const auto calls = host.callsWith(opcode);
        EXPECT_EQ(calls.size(), 1u) << "opcode " << opcode;
        return calls.empty() ? HostCall{} : calls[0];
    }
};

TEST_F(Services, RequestsCarryTheirOperandsAndTheEffectsRecord) {
    effect.setParameterAutomated(3, 0.75f);
    effect.sizeWindow(270, 475);
    effect.beginEdit(4);
    effect.offlineStart(nullptr, 5, 6);
    effect.offlineRead(nullptr, 7, true);
    effect.hostVendorSpecific(8, VstIntPtr(1) << 40, &log, 0.5f);
    effect.getNextPlug(9); // index deliberately not passed

    HostCall c = only(audioMasterAutomate);
    EXPECT_EQ(c.effect, effect.getAeffect());
    EXPECT_EQ(c.index, 3);
    EXPECT_EQ(c.opt, 0.75f);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"setParameter 3 0.750000"}));
    c = only(audioMasterSizeWindow);
    EXPECT_EQ(c.index, 270);
    EXPECT_EQ(c.value, 475);
    EXPECT_EQ(only(audioMasterBeginEdit).index, 4);
    c = only(audioMasterOfflineStart);
    EXPECT_EQ(c.index, 6);
    EXPECT_EQ(c.value, 5);
    c = only(audioMasterOfflineRead);
    EXPECT_EQ(c.index, 1);
    EXPECT_EQ(c.value, 7);
    c = only(audioMasterVendorSpecific);
    EXPECT_EQ(c.index, 8);
    EXPECT_EQ(c.value, VstIntPtr(1) << 40);
    EXPECT_EQ(c.ptr, &log);
    EXPECT_EQ(c.opt, 0.5f);
    EXPECT_EQ(only(audioMasterGetNextPlug).index, 0);
    for (const HostCall& call : host.calls())
        EXPECT_EQ(call.effect, effect.getAeffect());
}

TEST_F(Services, AnswersAreConverted) {
    EXPECT_EQ(effect.getMasterVersion(), 2400);
    host.setAnswer(audioMasterVersion, 0);
    EXPECT_EQ(effect.getMasterVersion(), 1);

    host.setAnswer(audioMasterPinConnected, 1);
    EXPECT_FALSE(effect.isInputConnected(0));
    EXPECT_EQ(host.calls().back().value, 0);
    EXPECT_FALSE(effect.isOutputConnected(1));
    EXPECT_EQ(host.calls().back().value, 1);
    host.setAnswer(audioMasterPinConnected, VstIntPtr(1) << 32); // low 32 bits are 0
    EXPECT_TRUE(effect.isInputConnected(0));

    host.setAnswer(audioMasterProcessEvents, 2);
    EXPECT_FALSE(effect.sendVstEventsToHost(nullptr));
    host.setAnswer(audioMasterProcessEvents, 1);
    EXPECT_TRUE(effect.sendVstEventsToHost(nullptr));

    host.setAnswer(audioMasterBeginEdit, VstIntPtr(1) << 32); // non-zero only above bit 31
    EXPECT_TRUE(effect.beginEdit(0));
    host.setAnswer(audioMasterCanDo, -7);
    EXPECT_EQ(effect.canHostDo(const_cast<char*>(HostCanDos::canDoSizeWindow)), 1);
    host.setAnswer(audioMasterOfflineGetCurrentPass, 42);
    EXPECT_EQ(effect.offlineGetCurrentPass(), 1);
    host.setAnswer(audioMasterGetLanguage, (VstIntPtr(1) << 32) | 3);
    EXPECT_EQ(effect.getHostLanguage(), 3);
    host.setAnswer(audioMasterGetDirectory, reinterpret_cast<VstIntPtr>(&log));
    EXPECT_EQ(effect.getDirectory(), &log);
}

TEST_F(Services, SampleRateAndBlockSizeUpdatesKeepTheValueOnNonPositiveAnswers) {
    host.setAnswer(audioMasterGetSampleRate, 48000);
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    host.setAnswer(audioMasterGetSampleRate, 0);
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    host.setAnswer(audioMasterGetSampleRate, -1);
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);

    host.setAnswer(audioMasterGetBlockSize, 512);
    EXPECT_EQ(effect.updateBlockSize(), 512);
    host.setAnswer(audioMasterGetBlockSize, -64);
    EXPECT_EQ(effect.updateBlockSize(), 512);
}

TEST_F(Services, NullPointersAreNotSentToTheHost) {
    host.setAnswer(audioMasterOpenFileSelector, 1);
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_FALSE(effect.closeFileSelector(nullptr));
    EXPECT_FALSE(effect.getChunkFile(nullptr));
    EXPECT_EQ(host.count(), 0u);
    EXPECT_TRUE(effect.openFileSelector(reinterpret_cast<VstFileSelect*>(&log)));
}

TEST_F(Services, WithoutAHostEveryServiceAnswersItsFallback) {
    char text[65] = "untouched";
    orphan.setParameterAutomated(1, 0.5f);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"setParameter 1 0.500000"}));
    EXPECT_EQ(orphan.getMasterVersion(), 1);
    EXPECT_EQ(orphan.getCurrentUniqueId(), 0);
    orphan.masterIdle();
    EXPECT_TRUE(orphan.isInputConnected(0));
    EXPECT_TRUE(orphan.isOutputConnected(0));
    orphan.wantEvents(1);
    EXPECT_EQ(orphan.getTimeInfo(0), nullptr);
    EXPECT_FALSE(orphan.sendVstEventsToHost(nullptr));
    EXPECT_FALSE(orphan.ioChanged());
    EXPECT_FALSE(orphan.sizeWindow(1, 1));
    EXPECT_EQ(orphan.updateSampleRate(), 44100.0);
    EXPECT_EQ(orphan.updateBlockSize(), 1024);
    EXPECT_EQ(orphan.getPreviousPlug(0), nullptr);
    EXPECT_FALSE(orphan.getHostVendorString(text));
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(orphan.hostVendorSpecific(1, 2, text, 3.0f), 0);
    EXPECT_EQ(orphan.canHostDo(text), 0);
    EXPECT_EQ(orphan.getDirectory(), nullptr);
    EXPECT_FALSE(orphan.beginEdit(0));
    EXPECT_FALSE(orphan.endEdit(0));
    EXPECT_FALSE(orphan.openFileSelector(reinterpret_cast<VstFileSelect*>(text)));
    EXPECT_EQ(orphan.offlineGetCurrentMetaPass(), 0);
    EXPECT_EQ(orphan.getInputSpeakerArrangement(), nullptr);
    EXPECT_EQ(host.count(), 0u);
}

TEST(CapabilityNames, ListsHoldTheNamesInOrder) {
    EXPECT_STREQ(HostCanDos::all[0], "sendVstEvents");
    EXPECT_STREQ(HostCanDos::all[7], HostCanDos::canDoSizeWindow);
    EXPECT_STREQ(HostCanDos::all[13], "sendVstMidiEventFlagIsRealtime");
    EXPECT_STREQ(PlugCanDos::all[3], PlugCanDos::canDoReceiveVstMidiEvent);
    EXPECT_STREQ(PlugCanDos::all[7], "bypass");
}

TEST_F(Services, ArrangementToolsAllocateCopyAndMatch) {
    VstSpeakerArrangement* from = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&from, 2));
    from->type = 7;
    for (VstInt32 i = 0; i < 2; ++i) {
        VstSpeakerProperties* s = speakerAt(from, i);
        EXPECT_EQ(s->type, 0);                      // zeroed block
        std::memset(s->name, 'x', sizeof(s->name)); // unterminated on purpose
        s->azimuth = 0.5f * float(i);
        s->type = 10 + i;
        s->future[27] = 9;
    }

    VstSpeakerArrangement* to = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&to, 5)); // replaced by the match
    ASSERT_TRUE(effect.matchArrangement(&to, from));
    EXPECT_EQ(to->type, 7);
    EXPECT_EQ(to->numChannels, 2);
    VstSpeakerProperties* copy = speakerAt(to, 1);
    EXPECT_EQ(std::strlen(copy->name), 63u);
    EXPECT_EQ(copy->azimuth, 0.5f);
    EXPECT_EQ(copy->type, 11);
    EXPECT_EQ(copy->future[27], 9);

    EXPECT_FALSE(effect.matchArrangement(&to, nullptr));
    EXPECT_FALSE(effect.copySpeaker(copy, nullptr));
    EXPECT_FALSE(effect.allocateArrangement(&to, -1)); // old block freed, pointer cleared
    EXPECT_EQ(to, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&from));
    EXPECT_EQ(from, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&from));
}

} // namespace

// Guards against host services that send the wrong request or operands, misread the host's
// answer, or crash or invent answers when the effect has no host.
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

    HostCall only(VstInt32 opcode) {
        const auto calls = host.callsWith(opcode);
        EXPECT_EQ(calls.size(), 1u) << "opcode " << opcode;
        return calls.empty() ? HostCall{} : calls[0];
    }
};

TEST_F(Services, RequestsCarryTheirOperandsAndTheEffectsRecord) {
    effect.setParameterAutomated(3, 0.75f);
    effect.sizeWindow(270, 475);
    effect.offlineStart(nullptr, 5, 6);
    effect.offlineRead(nullptr, 7, true);
    effect.hostVendorSpecific(8, VstIntPtr(1) << 40, &log, 0.5f);
    effect.getNextPlug(9); // the output number is not passed on

    EXPECT_EQ(log.calls, (std::vector<std::string>{"setParameter 3 0.75"}));
    HostCall c = only(audioMasterAutomate);
    EXPECT_TRUE(c.index == 3 && c.opt == 0.75f);
    c = only(audioMasterSizeWindow);
    EXPECT_TRUE(c.index == 270 && c.value == 475);
    c = only(audioMasterOfflineStart);
    EXPECT_TRUE(c.index == 6 && c.value == 5);
    c = only(audioMasterOfflineRead);
    EXPECT_TRUE(c.index == 1 && c.value == 7);
    c = only(audioMasterVendorSpecific);
    EXPECT_TRUE(c.index == 8 && c.value == VstIntPtr(1) << 40 && c.ptr == &log && c.opt == 0.5f);
    EXPECT_EQ(only(audioMasterGetNextPlug).index, 0);
    for (const HostCall& call : host.calls()) {
        EXPECT_EQ(call.effect, effect.getAeffect());
    }
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
    host.setAnswer(audioMasterBeginEdit, VstIntPtr(1) << 32); // non-zero only above bit 31
    EXPECT_TRUE(effect.beginEdit(0));
    host.setAnswer(audioMasterCanDo, -7);
    EXPECT_EQ(effect.canHostDo(const_cast<char*>("sizeWindow")), 1);
    host.setAnswer(audioMasterGetLanguage, (VstIntPtr(1) << 32) | 3);
    EXPECT_EQ(effect.getHostLanguage(), 3);
    host.setAnswer(audioMasterGetDirectory, reinterpret_cast<VstIntPtr>(&log));
    EXPECT_EQ(effect.getDirectory(), &log);

    host.setAnswer(audioMasterOpenFileSelector, 1); // a null record is never sent
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_FALSE(effect.getChunkFile(nullptr));
    EXPECT_TRUE(host.callsWith(audioMasterOpenFileSelector).empty());
}

TEST_F(Services, SampleRateAndBlockSizeKeepTheirValueOnNonPositiveAnswers) {
    host.setAnswer(audioMasterGetSampleRate, 48000);
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    host.setAnswer(audioMasterGetSampleRate, -1);
    EXPECT_EQ(effect.updateSampleRate(), 48000.0);
    host.setAnswer(audioMasterGetBlockSize, 512);
    EXPECT_EQ(effect.updateBlockSize(), 512);
    host.setAnswer(audioMasterGetBlockSize, 0);
    EXPECT_EQ(effect.updateBlockSize(), 512);
}

TEST(HostServicesWithoutHost, EveryServiceAnswersItsFallback) {
    RecordingHost host; // must hear nothing
    CallLog log;
    TestEffect orphan(nullptr, log);
    char text[65] = "untouched";

    orphan.setParameterAutomated(1, 0.5f);
    EXPECT_EQ(log.calls, (std::vector<std::string>{"setParameter 1 0.5"}));
    EXPECT_EQ(orphan.getMasterVersion(), 1);
    orphan.masterIdle();
    EXPECT_TRUE(orphan.isInputConnected(0));
    EXPECT_FALSE(orphan.sizeWindow(1, 1));
    EXPECT_EQ(orphan.updateSampleRate(), 44100.0);
    EXPECT_EQ(orphan.updateBlockSize(), 1024);
    EXPECT_FALSE(orphan.getHostVendorString(text));
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(orphan.canHostDo(text), 0);
    EXPECT_FALSE(orphan.beginEdit(0));
    EXPECT_EQ(host.count(), 0u);
}

TEST_F(Services, ArrangementToolsAllocateCopyAndMatch) {
    VstSpeakerArrangement* from = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&from, 2));
    EXPECT_EQ(speakerAt(from, 1)->type, 0); // zeroed block
    from->type = 7;
    VstSpeakerProperties* source = speakerAt(from, 1);
    std::memset(source->name, 'x', sizeof(source->name)); // unterminated on purpose
    source->azimuth = 0.5f;
    source->type = 11;
    source->future[27] = 9;

    VstSpeakerArrangement* to = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&to, 5)); // replaced by the match
    ASSERT_TRUE(effect.matchArrangement(&to, from));
    EXPECT_TRUE(to->type == 7 && to->numChannels == 2);
    const VstSpeakerProperties* copy = speakerAt(to, 1);
    EXPECT_EQ(std::strlen(copy->name), 63u);
    EXPECT_TRUE(copy->azimuth == 0.5f && copy->type == 11 && copy->future[27] == 9);

    EXPECT_FALSE(effect.matchArrangement(&to, nullptr));
    VstSpeakerArrangement* same = to;
    EXPECT_TRUE(effect.matchArrangement(&to, to)); // must not free what it reads from
    EXPECT_TRUE(to == same && to->type == 7 && std::strlen(speakerAt(to, 1)->name) == 63u);
    EXPECT_FALSE(effect.allocateArrangement(&to, -1)); // old block freed, pointer cleared
    EXPECT_EQ(to, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&from));
    EXPECT_EQ(from, nullptr);
}

} // namespace

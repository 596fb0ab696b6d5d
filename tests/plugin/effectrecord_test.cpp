// Guards against a record the host cannot read (wrong fields, stale flags) and against entry
// points or trampolines that leak, double-free or let the host reach a dead effect.
#include "recordinghost.h"
#include "testeffect.h"

#include <gtest/gtest.h>

#include <algorithm>

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

namespace {
CallLog* instanceLog = nullptr;
int instancesCreated = 0;
bool failCreation = false;
} // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    ++instancesCreated;
    return failCreation ? nullptr : new TestEffect(audioMaster, *instanceLog);
}

namespace {

TEST(EffectRecord, ConstructionFillsTheRecordAndClearsTheRest) {
    RecordingHost host;
    CallLog log;
    TestEffect effect(host.callback(), log);
    const AEffect& r = effect.record();
    const auto* bytes = reinterpret_cast<const unsigned char*>(&r);

    EXPECT_EQ(r.magic, 0x56737450);
    EXPECT_EQ(bytes[0], 0x50); // 'P' first in memory
    EXPECT_EQ(r.numPrograms, 3);
    EXPECT_EQ(r.numParams, 2);
    EXPECT_EQ(r.numInputs, 1);
    EXPECT_EQ(r.numOutputs, 2);
    EXPECT_EQ(r.flags, 0x10);
    EXPECT_EQ(r.uniqueID, 0x4E6F4566);
    EXPECT_EQ(r.version, 1);
    EXPECT_EQ(r.ioRatio, 1.0f);
    EXPECT_EQ(r.initialDelay, 0);
    EXPECT_EQ(r.object, static_cast<AudioEffect*>(&effect));
    EXPECT_EQ(r.user, nullptr);
    EXPECT_EQ(r.resvd1 | r.resvd2, 0);
    for (int gap : {4, 5, 6, 7, 60, 61, 62, 63}) {
        EXPECT_EQ(bytes[gap], 0) << "gap byte " << gap;
    }
    EXPECT_TRUE(std::all_of(r.future, r.future + sizeof(r.future), [](char c) { return !c; }));
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
    EXPECT_EQ(host.count(), 0u); // building an effect asks the host nothing
}

TEST(EffectRecord, FlagSettersTouchOnlyTheirBit) {
    CallLog log;
    TestEffect effect(nullptr, log);
    auto* editor = new TestEditor(&effect, log);

    effect.setEditor(editor);
    EXPECT_EQ(effect.record().flags, effFlagsCanReplacing | effFlagsHasEditor);
    effect.isSynth(true);
    effect.canDoubleReplacing(true);
    effect.setEditor(nullptr);
    EXPECT_EQ(effect.record().flags,
              effFlagsCanReplacing | effFlagsIsSynth | effFlagsCanDoubleReplacing);
    EXPECT_EQ(effect.getPlugCategory(), kPlugCategSynth);
    effect.isSynth(false);
    effect.canProcessReplacing(false);
    EXPECT_EQ(effect.record().flags, effFlagsCanDoubleReplacing);
    EXPECT_EQ(effect.getPlugCategory(), kPlugCategUnknown);
    delete editor; // detached, so no longer the effect's to delete
}

TEST(EffectRecord, TrampolinesReachTheObjectAndCloseDestroysIt) {
    CallLog log;
    auto* effect = new TestEffect(nullptr, log);
    effect->setEditor(new TestEditor(effect, log));
    AEffect* r = effect->getAeffect();

    r->processReplacing(r, nullptr, nullptr, 16);
    r->setParameter(r, 1, 0.25f);
    r->process(r, nullptr, nullptr, 16); // the empty old default
    r->processDoubleReplacing(r, nullptr, nullptr, 16);
    EXPECT_EQ(r->getParameter(r, 1), 0.0f);
    EXPECT_EQ(effect->dispatcher(effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_FALSE(log.effectDestroyed);
    EXPECT_EQ(r->dispatcher(r, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(log.calls,
              (std::vector<std::string>{"process 16", "setParameter 1 0.25", "close", "close"}));
    EXPECT_TRUE(log.effectDestroyed);
    EXPECT_TRUE(log.editorDestroyed);
}

TEST(EntryPoint, BuildsOneEffectOnlyForAHostThatAnswersTheVersionQuery) {
    RecordingHost host;
    CallLog log;
    instanceLog = &log;
    instancesCreated = 0;

    host.setAnswer(audioMasterVersion, 0);
    EXPECT_EQ(VSTPluginMain(host.callback()), nullptr);
    EXPECT_EQ(instancesCreated, 0);
    EXPECT_EQ(VSTPluginMain(nullptr), nullptr);
    host.setAnswer(audioMasterVersion, 2400);
    failCreation = true;
    EXPECT_EQ(VSTPluginMain(host.callback()), nullptr);
    failCreation = false;

    host.clear();
    AEffect* r = VSTPluginMain(host.callback());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(instancesCreated, 2);
    ASSERT_EQ(host.count(), 1u);
    EXPECT_TRUE(host.calls()[0].effect == nullptr && host.calls()[0].opcode == audioMasterVersion);
    r->dispatcher(r, effClose, 0, 0, nullptr, 0.0f);
}

} // namespace

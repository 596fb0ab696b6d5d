// Guards against a record the host cannot read (wrong fields, stale flags) and against entry
// points or trampolines that leak, double-free or let the host reach a dead effect.
#include "hinstance.h"
#include "recordinghost.h"
#include "testeffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <memory>

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

namespace {
CallLog* instanceLog = nullptr;
int instancesCreated = 0;
bool failCreation = false;
} // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    ++instancesCreated;
    if (failCreation)
        return nullptr;
    return new TestEffect(audioMaster, *instanceLog);
}

TEST(EffectRecord, ConstructionFillsTheRecordAndClearsTheRest) {
    RecordingHost host;
    CallLog log;
    TestEffect effect(host.callback(), log);
    const AEffect& r = effect.record();

    EXPECT_EQ(r.magic, 0x56737450);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
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
    EXPECT_EQ(r.resvd1, 0);
    EXPECT_EQ(r.resvd2, 0);
    for (int gap : {4, 5, 6, 7, 60, 61, 62, 63})
        EXPECT_EQ(bytes[gap], 0) << "gap byte " << gap;
    for (std::size_t i = 0; i < sizeof(r.future); ++i)
        EXPECT_EQ(r.future[i], 0);
    for (auto* entry :
         {reinterpret_cast<void*>(r.dispatcher), reinterpret_cast<void*>(r.process),
          reinterpret_cast<void*>(r.setParameter), reinterpret_cast<void*>(r.getParameter),
          reinterpret_cast<void*>(r.processReplacing),
          reinterpret_cast<void*>(r.processDoubleReplacing)})
        EXPECT_NE(entry, nullptr);

    EXPECT_EQ(effect.getAeffect(), &effect.record());
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
    EXPECT_EQ(effect.getEditor(), nullptr);
    EXPECT_EQ(host.count(), 0u); // building an effect asks the host nothing
}

TEST(EffectRecord, FlagSettersTouchOnlyTheirBit) {
    CallLog log;
    TestEffect effect(nullptr, log);
    auto* editor = new TestEditor(&effect, log);

    effect.setEditor(editor);
    EXPECT_EQ(effect.record().flags, effFlagsCanReplacing | effFlagsHasEditor);
    EXPECT_EQ(effect.getEditor(), editor);

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

TEST(EffectRecord, TrampolinesReachTheObject) {
    CallLog log;
    TestEffect effect(nullptr, log);
    AEffect* r = effect.getAeffect();

    r->processReplacing(r, nullptr, nullptr, 16);
    r->setParameter(r, 1, 0.25f);
    r->process(r, nullptr, nullptr, 16); // the empty old default
    r->processDoubleReplacing(r, nullptr, nullptr, 16);
    EXPECT_EQ(r->getParameter(r, 1), 0.0f);
    EXPECT_EQ(log.calls,
              (std::vector<std::string>{"processReplacing 16", "setParameter 1 0.250000"}));
}

TEST(EffectRecord, CloseThroughTheRecordDestroysEffectAndEditorAndAnswersOne) {
    CallLog log;
    auto* effect = new TestEffect(nullptr, log);
    effect->setEditor(new TestEditor(effect, log));
    AEffect* r = effect->getAeffect();

    EXPECT_EQ(effect->dispatcher(effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(r->dispatcher(r, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(std::count(log.calls.begin(), log.calls.end(), "close"), 2);
    EXPECT_TRUE(log.effectDestroyed);
    EXPECT_TRUE(log.editorDestroyed);
}

TEST(EntryPoint, BuildsOneEffectAfterAskingTheHostVersion) {
    RecordingHost host;
    CallLog log;
    instanceLog = &log;
    instancesCreated = 0;
    failCreation = false;

    AEffect* r = VSTPluginMain(host.callback());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(instancesCreated, 1);
    ASSERT_EQ(host.count(), 1u);
    const HostCall version = host.calls()[0];
    EXPECT_EQ(version.effect, nullptr);
    EXPECT_EQ(version.opcode, audioMasterVersion);
    EXPECT_EQ(r->magic, kEffectMagic);
    EXPECT_EQ(r->dispatcher(r, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(log.effectDestroyed);
}

TEST(EntryPoint, RefusesWithoutAHostVersionOrAnEffect) {
    RecordingHost host;
    CallLog log;
    instanceLog = &log;
    instancesCreated = 0;

    host.setAnswer(audioMasterVersion, 0);
    EXPECT_EQ(VSTPluginMain(host.callback()), nullptr);
    EXPECT_EQ(instancesCreated, 0);

    host.setAnswer(audioMasterVersion, 2400);
    failCreation = true;
    EXPECT_EQ(VSTPluginMain(host.callback()), nullptr);
    failCreation = false;

    EXPECT_EQ(VSTPluginMain(nullptr), nullptr);
}

TEST(EntryPoint, LoadHookRecordsTheModuleOfTheEntryPoint) {
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&VSTPluginMain), &info), 0);
    EXPECT_EQ(hInstance, info.dli_fbase);
    EXPECT_FALSE(recordModuleHandle(nullptr));
    EXPECT_EQ(hInstance, info.dli_fbase);
}

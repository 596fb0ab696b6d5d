// Guards against a VST3 host losing or damaging a project's pedal: a state that does not come
// back byte for byte, a bad or newer stream that replaces the state the processor had, a
// controller that fails a project load (or reads from the wrong place) when a host hands it an
// unrewound or piecemeal stream, and a preset file written by this version that a later one
// no longer loads (its class id changed, or its blob no longer read).
#include "pedalstatefixture.h"
#include "vst3instance.h"
#include "vst3presetfixture.h"
#include "vst3runner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

using Bytes = std::vector<std::uint8_t>;

class Vst3State : public ::testing::Test {
protected:
    Vst3Library library{GRAVELIX_VST3};

    void SetUp() override { ASSERT_TRUE(library.loaded()) << library.error(); }
};

TEST_F(Vst3State, SaveLoadSaveGivesTheSameBytesWhateverTheChunks) {
    Vst3Instance a(library);
    ASSERT_TRUE(a.ok() && a.activate(44100.0));
    a.process(nullptr, nullptr, nullptr, nullptr, 0,
              {{0, kProgramId, programValue(1)}, {0, 1, 0.123}, {0, 8, 1.0}, {0, 9, 1.0}});
    const std::optional<Bytes> saved = a.save();
    ASSERT_TRUE(saved);
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{3}, saved->size()}) {
        SCOPED_TRACE("chunks of " + std::to_string(chunk));
        Vst3Instance b(library);
        ASSERT_TRUE(b.ok());
        TestStream stream(*saved, chunk);
        EXPECT_EQ(b.load(stream), kResultOk);
        EXPECT_EQ(b.save(), saved);
        TestStream forController(*saved, chunk);
        EXPECT_EQ(b.loadController(forController), kResultOk);
        EXPECT_EQ(b.controller()->getParamNormalized(1), static_cast<double>(0.123f));
        EXPECT_EQ(b.controller()->getParamNormalized(9), 1.0) << "bypassed";
        EXPECT_EQ(b.controller()->getParamNormalized(kProgramId), programValue(1));
    }
}

// A host restoring a project may send the program change the state holds: the edits made since
// that program was loaded stay; only another program brings factory values.
TEST_F(Vst3State, TheCurrentProgramSentAgainKeepsTheEdits) {
    Vst3Instance vst3(library);
    ASSERT_TRUE(vst3.ok() && vst3.activate(44100.0));
    TestStream fixture(kVersion1);
    ASSERT_EQ(vst3.load(fixture), kResultOk);
    vst3.process(nullptr, nullptr, nullptr, nullptr, 0, {{0, kProgramId, programValue(2)}});
    EXPECT_EQ(vst3.save(), kVersion1);
    vst3.process(nullptr, nullptr, nullptr, nullptr, 0,
                 {{0, kProgramId, programValue(0)}, {0, kProgramId, programValue(2)}});
    const std::optional<Bytes> factory = vst3.save();
    ASSERT_TRUE(factory);
    EXPECT_NE(*factory, kVersion1) << "TS came back with the edit it had";
}

std::vector<std::pair<std::string, Bytes>> badStreams() {
    Bytes garbage(kVersion1.size());
    for (std::size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    Bytes magicThenGarbage = garbage;
    std::memcpy(magicThenGarbage.data(), "GRVX\x01\0\0\0", 8);
    Bytes version2 = kVersion1;
    version2[4] = 2;
    Bytes longer = kVersion1;
    longer.push_back(0);
    return {{"empty", {}},           {"short", {kVersion1.begin(), kVersion1.end() - 1}},
            {"garbage", garbage},    {"garbage after the header", magicThenGarbage},
            {"version 2", version2}, {"longer", longer}};
}

TEST_F(Vst3State, TheProcessorRefusesBadStreamsAndKeepsItsState) {
    Vst3Instance vst3(library);
    ASSERT_TRUE(vst3.ok() && vst3.activate(48000.0));
    vst3.process(nullptr, nullptr, nullptr, nullptr, 0,
                 {{0, kProgramId, programValue(3)}, {0, 0, 0.31}});
    const std::optional<Bytes> before = vst3.save();
    ASSERT_TRUE(before);
    for (const auto& [what, bytes] : badStreams()) {
        for (const std::size_t chunk : {std::size_t{1}, kVersion1.size() + 8}) {
            SCOPED_TRACE(what + ", chunks of " + std::to_string(chunk));
            TestStream stream(bytes, chunk);
            EXPECT_EQ(vst3.load(stream), kResultFalse);
            EXPECT_EQ(vst3.save(), before);
        }
    }
}

// The controller never fails a project load: a bad stream leaves the values it had, a good one
// is read from wherever the host left the stream.
TEST_F(Vst3State, TheControllerReadsFromWhereTheStreamIsAndNeverFails) {
    Vst3Instance vst3(library);
    ASSERT_TRUE(vst3.ok());
    IEditController* c = vst3.controller();
    const double defaultOutput = c->getParamNormalized(0);
    for (const auto& [what, bytes] : badStreams()) {
        SCOPED_TRACE(what);
        TestStream stream(bytes, 5);
        EXPECT_EQ(vst3.loadController(stream), kResultOk);
        EXPECT_EQ(c->getParamNormalized(0), defaultOutput);
        EXPECT_EQ(c->getParamNormalized(kProgramId), 0.0);
    }
    // Behind what the host wrote before it: read from there, never rewound.
    Bytes prefixed = {'h', 'o', 's', 't'};
    prefixed.insert(prefixed.end(), kVersion1.begin(), kVersion1.end());
    TestStream unrewound(prefixed, 7, 4);
    EXPECT_EQ(vst3.loadController(unrewound), kResultOk);
    EXPECT_EQ(c->getParamNormalized(1), static_cast<double>(0.3f));
    EXPECT_EQ(c->getParamNormalized(kProgramId), programValue(2));
    // A rewound one seen from its start would be four bytes off: refused, values kept.
    TestStream wrongPlace(prefixed, 64, 0);
    vst3.loadController(wrongPlace);
    EXPECT_EQ(c->getParamNormalized(1), static_cast<double>(0.3f));
}

// The preset file a host writes for this version (the processor's class id and its state
// chunk) loads into every later version, processor and controller alike.
TEST_F(Vst3State, ThePresetFileOfThisVersionLoads) {
    const PresetFile preset = readPresetFile(kGravelixPreset);
    ASSERT_TRUE(preset.valid);
    Vst3Instance vst3(library);
    ASSERT_TRUE(vst3.ok());
    // The processor's class id as preset files spell it.
    PClassInfo info{};
    ASSERT_EQ(library.factory()->getClassInfo(0, &info), kResultOk);
    ASSERT_STREQ(info.category, kVstAudioEffectClass);
    // COM's byte order on Windows keeps the first three fields little-endian.
#if COM_COMPATIBLE
    constexpr int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
#else
    constexpr int order[16] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
#endif
    std::string classId;
    for (const int i : order) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned char>(info.cid[i]));
        classId += hex;
    }
    EXPECT_EQ(classId, preset.classId) << "the class id changed";
    TestStream component(preset.component);
    ASSERT_EQ(vst3.load(component), kResultOk);
    TestStream controller(preset.component);
    ASSERT_EQ(vst3.loadController(controller), kResultOk);
    EXPECT_EQ(vst3.controller()->getParamNormalized(1), static_cast<double>(0.3f));
    EXPECT_EQ(vst3.save(), kVersion1);
}

} // namespace

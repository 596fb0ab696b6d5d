// The effect record of the tests' fixture plug-ins (tests/tools/fixtures/,
// tests/validator/fixtures/): a stereo effect at version 1 that processes replacing. Header
// only, so a fixture stays one self-contained module.
#pragma once

#include "plugin/aeffect.h"

// The linkage of a fixture's exported entry point.
#define FIXTURE_EXPORT extern "C" __attribute__((visibility("default")))

namespace fixture {

// Entries for a fixture with nothing to do there: the accumulating process, and a parameter
// that ignores what it is set to and stays at one half.
inline void ignoreProcess(AEffect*, float**, float**, VstInt32) {}
inline void ignoreParameter(AEffect*, VstInt32, float) {}
inline float halfParameter(AEffect*, VstInt32) {
    return 0.5f;
}

// What sets one fixture's record apart.
struct RecordFields {
    VstInt32 uniqueID = 0;
    VstInt32 numParams = 0;
    VstInt32 numPrograms = 0;
    AEffectDispatcherProc dispatcher = nullptr;
    AEffectProcessProc processReplacing = nullptr;
    AEffectSetParameterProc setParameter = ignoreParameter;
    AEffectGetParameterProc getParameter = halfParameter;
    AEffectProcessProc process = ignoreProcess;
};

// Fills the whole record, zero wherever `fields` leaves it open; the entries find `object` in it.
inline void fillRecord(AEffect& record, void* object, const RecordFields& fields) {
    record = AEffect{};
    record.magic = kEffectMagic;
    record.dispatcher = fields.dispatcher;
    record.process = fields.process;
    record.setParameter = fields.setParameter;
    record.getParameter = fields.getParameter;
    record.processReplacing = fields.processReplacing;
    record.numPrograms = fields.numPrograms;
    record.numParams = fields.numParams;
    record.numInputs = 2;
    record.numOutputs = 2;
    record.flags = effFlagsCanReplacing;
    record.object = object;
    record.uniqueID = fields.uniqueID;
    record.version = 1;
    record.ioRatio = 1.0f;
}

} // namespace fixture

#include "gravelix.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "gravelixeditor.h"
#include "valuetotext.h"

namespace {

constexpr const char* kEffectName = kPedalName;
constexpr const char* kVendor = "Keldwyn";
constexpr VstInt32 kProgramNameChars = kVstMaxProgNameLen - 1;
static_assert(PedalCore::kTextChars == kVstMaxParamStrLen);

} // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    // The host gets null rather than an exception when memory runs out.
    try {
        return new Gravelix(audioMaster);
    } catch (...) {
        return nullptr;
    }
}

Gravelix::Gravelix(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams) {
    // The core starts at the base's rate with program 0 applied; applying it here again keeps
    // the effect's own bookkeeping (current program, last value) in step.
    processRate = getSampleRate();
    initPrograms();
    setProgram(0);

    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(kUniqueId);
    canProcessReplacing(true);

    core.startUp();
    if (core.latencyFrames() != 0) {
        setInitialDelay(core.latencyFrames());
    }

    // The pedal editor; its base attaches it at once. Without memory for it the effect runs
    // without an editor (no flag, no notifications).
    try {
        setEditor(new gravelixeditor(this));
    } catch (...) {
        setEditor(nullptr);
    }

    resume();
}

Gravelix::~Gravelix() = default;

void Gravelix::resume() {
    // Hosts resume before each new stream on one instance (the next track of a batch, Apply
    // after Preview, a restarted transport); the last stream's tail must not sound in it.
    core.reset();
    AudioEffectX::resume();
}

void Gravelix::setSampleRate(float newSampleRate) {
    // Not a rate at all: keep everything as it is.
    if (!std::isfinite(newSampleRate) || !(newSampleRate > 0.0f)) {
        return;
    }
    AudioEffectX::setSampleRate(newSampleRate);
    core.setSampleRate(newSampleRate);
    // A latency that follows the rate is announced; the pedal's own never changes.
    const VstInt32 delay = core.latencyFrames();
    if (delay != cEffect.initialDelay) {
        setInitialDelay(delay);
        ioChanged();
    }
}

void Gravelix::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    // Audio thread; real time: no allocation, locks, host calls or transcendental functions.
    core.process(inputs[0], inputs[1], outputs[0], outputs[1], sampleFrames);
}

void Gravelix::setParameter(VstInt32 index, float value) {
    // NaN would pass the clamp and poison the program record and every coefficient.
    if (std::isnan(value)) {
        return;
    }
    float v = value;
    if (v > 1.0f) {
        v = 1.0f;
    }
    if (v < 0.0f) {
        v = 0.0f;
    }
    lastValue = v;
    if (!isParameter(index)) {
        return;
    }

    // The editor is shown the change before anything of the effect moves. Only our own
    // editor is ever installed.
    if (editor) {
        static_cast<AEffGUIEditor*>(editor)->setParameter(index, v);
    }

    core.set(index, v);
}

float Gravelix::getParameter(VstInt32 index) {
    return isParameter(index) ? core.answer(index) : 0.0f;
}

void Gravelix::setProgram(VstInt32 program) {
    if (program < 0 || program >= kNumPrograms) {
        return;
    }
    curProgram = program;
    core.selectProgram(program);
    // Table order; each call stores its clamped value back into the same record.
    const GravelixProgram p = programs[static_cast<std::size_t>(program)];
    for (const ParameterInfo& row : kParameterTable) {
        setParameter(row.index, p.*row.field);
    }
}

void Gravelix::setProgramName(char* name) {
    if (name == nullptr) {
        return;
    }
    vst_strncpy(programs[static_cast<std::size_t>(curProgram)].name, name, kProgramNameChars);
}

void Gravelix::getProgramName(char* name) {
    if (name == nullptr) {
        return;
    }
    const char* current = programs[static_cast<std::size_t>(curProgram)].name;
    if (std::strcmp(current, "Init") == 0) {
        // "Init" followed by a blank and the program number counted from 1.
        std::memcpy(name, "Init ", 5);
        char* end = std::to_chars(name + 5, name + kVstMaxProgNameLen - 1, curProgram + 1).ptr;
        *end = '\0';
    } else {
        std::strcpy(name, current);
    }
}

void Gravelix::getParameterLabel(VstInt32 index, char* label) {
    if (label == nullptr || !isParameter(index)) {
        return;
    }
    std::strcpy(label, parameterInfo(index).label);
}

void Gravelix::getParameterDisplay(VstInt32 index, char* text) {
    if (text == nullptr || !isParameter(index)) {
        return;
    }
    PedalCore::displayText(index, core.value(index), text);
}

void Gravelix::getParameterName(VstInt32 index, char* text) {
    if (text == nullptr || !isParameter(index)) {
        return;
    }
    std::strcpy(text, parameterInfo(index).name);
}

bool Gravelix::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text) {
    if (text == nullptr || index < 0 || index >= kNumPrograms) {
        return false;
    }
    std::strcpy(text, programs[static_cast<std::size_t>(index)].name);
    return true;
}

bool Gravelix::getEffectName(char* name) {
    if (name == nullptr) {
        return false;
    }
    vst_strncpy(name, kEffectName, kVstMaxEffectNameLen);
    return true;
}

bool Gravelix::getVendorString(char* text) {
    if (text == nullptr) {
        return false;
    }
    std::strcpy(text, kVendor);
    return true;
}

bool Gravelix::getProductString(char* text) {
    if (text == nullptr) {
        return false;
    }
    std::strcpy(text, kEffectName);
    return true;
}

VstIntPtr Gravelix::vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* /*ptrArg*/,
                                   float floatArg) {
    // Editor thread: hosts send it around opening the editor, like the other editor calls.
    if (lArg != kHostScaleMessage || lArg2 != kHostScaleValue || !editor) {
        return 0;
    }
    static_cast<AEffGUIEditor*>(editor)->setHostScaleFactor(floatArg);
    return 1;
}

VstInt32 Gravelix::getVendorVersion() {
    return kVendorVersion;
}

void Gravelix::stereo2string(float value, char* text, VstInt32 maxLen) {
    PedalCore::channelsText(value, text, maxLen);
}

void Gravelix::onOff2string(float value, char* text, VstInt32 maxLen) {
    PedalCore::onOffText(value, text, maxLen);
}

void Gravelix::initPrograms() {
    for (VstInt32 i = 1; i < numPrograms; ++i) {
        programs[static_cast<std::size_t>(i)] = kFactoryPrograms[i];
    }
}

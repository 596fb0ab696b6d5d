#include "audioeffect.h"

#include "aeffeditor.h"
#include "valuetotext.h"

#include <cstring>

namespace {
constexpr VstInt32 kBaseUniqueId = 0x4E6F4566; // 'NoEf': replaced by every real effect
} // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), editor(nullptr), sampleRate(44100.0f), blockSize(1024),
      numPrograms(numPrograms), numParams(numParams), curProgram(0) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = kBaseUniqueId;
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect() {
    delete editor;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

void AudioEffect::setFlag(VstInt32 bit, bool state) {
    if (state) {
        cEffect.flags |= bit;
    } else {
        cEffect.flags &= ~bit;
    }
}

// --- Record entries. An exception must never unwind into the host; the handlers cost nothing
// unless something throws.

static AudioEffect* owner(AEffect* e) {
    return static_cast<AudioEffect*>(e->object);
}

VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt) {
    AudioEffect* effect = owner(e);
    VstIntPtr result = 0;
    try {
        result = effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        result = 0;
    }
    if (opcode == effClose) {
        delete effect;
        return 1;
    }
    return result;
}

// Audio thread: one field read and one virtual call.
void AudioEffect::processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
    try {
        owner(e)->process(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

// Any host thread, possibly concurrent with processing; no synchronisation added here.
void AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value) {
    try {
        owner(e)->setParameter(index, value);
    } catch (...) {
    }
}

float AudioEffect::getParameterClass(AEffect* e, VstInt32 index) {
    try {
        return owner(e)->getParameter(index);
    } catch (...) {
        return 0.0f;
    }
}

// Audio thread: one field read and one virtual call.
void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 sampleFrames) {
    try {
        owner(e)->processReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

// Audio thread: one field read and one virtual call.
void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 sampleFrames) {
    try {
        owner(e)->processDoubleReplacing(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

// --- First-generation requests.

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    // Compared unsigned so that negative opcodes fall into the unhandled range.
    if (static_cast<std::uint32_t>(opcode) > static_cast<std::uint32_t>(effSetChunk)) {
        return 0;
    }

    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        open();
        break;
    case effClose:
        close();
        break;
    case effSetProgram:
        if (value < numPrograms) {
            setProgram(static_cast<VstInt32>(value));
        }
        break;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        setProgramName(text);
        break;
    case effGetProgramName:
        getProgramName(text);
        break;
    case effGetParamLabel:
        getParameterLabel(index, text);
        break;
    case effGetParamDisplay:
        getParameterDisplay(index, text);
        break;
    case effGetParamName:
        getParameterName(index, text);
        break;
    case effSetSampleRate:
        setSampleRate(opt);
        break;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        break;
    case effMainsChanged:
        if (value != 0) {
            resume();
        } else {
            suspend();
        }
        break;
    case effEditGetRect:
        if (editor) {
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        }
        break;
    case effEditOpen:
        if (editor) {
            return editor->open(ptr) ? 1 : 0;
        }
        break;
    case effEditClose:
        if (editor) {
            editor->close();
        }
        break;
    case effEditIdle:
        if (editor) {
            editor->idle();
        }
        break;
    case effIdentify:
        return kEffectIdentify;
    case effGetChunk:
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default: // effGetVu, effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep
        break;
    }
    return 0;
}

void AudioEffect::getProgramName(char* name) {
    if (name) {
        *name = 0;
    }
}

void AudioEffect::getParameterLabel(VstInt32 /*index*/, char* label) {
    if (label) {
        *label = 0;
    }
}

void AudioEffect::getParameterDisplay(VstInt32 /*index*/, char* text) {
    if (text) {
        *text = 0;
    }
}

void AudioEffect::getParameterName(VstInt32 /*index*/, char* text) {
    if (text) {
        *text = 0;
    }
}

// --- Host services.

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    if (audioMaster) {
        audioMaster(&cEffect, audioMasterAutomate, index, 0, nullptr, value);
    }
}

VstInt32 AudioEffect::getMasterVersion() {
    if (!audioMaster) {
        return 1;
    }
    const auto version =
        static_cast<VstInt32>(audioMaster(&cEffect, audioMasterVersion, 0, 0, nullptr, 0.0f));
    return version == 0 ? 1 : version;
}

VstInt32 AudioEffect::getCurrentUniqueId() {
    if (!audioMaster) {
        return 0;
    }
    return static_cast<VstInt32>(audioMaster(&cEffect, audioMasterCurrentId, 0, 0, nullptr, 0.0f));
}

void AudioEffect::masterIdle() {
    if (audioMaster) {
        audioMaster(&cEffect, audioMasterIdle, 0, 0, nullptr, 0.0f);
    }
}

bool AudioEffect::isInputConnected(VstInt32 input) {
    if (!audioMaster) {
        return true;
    }
    return static_cast<VstInt32>(
               audioMaster(&cEffect, audioMasterPinConnected, input, 0, nullptr, 0.0f)) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    if (!audioMaster) {
        return true;
    }
    return static_cast<VstInt32>(
               audioMaster(&cEffect, audioMasterPinConnected, output, 1, nullptr, 0.0f)) == 0;
}

// --- Text tools.

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) {
    ValueToText::dB2string(value, text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen) {
    ValueToText::Hz2string(samples, getSampleRate(), text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen) {
    ValueToText::ms2string(samples, getSampleRate(), text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) {
    ValueToText::float2string(value, text, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) {
    ValueToText::int2string(value, text, maxLen);
}

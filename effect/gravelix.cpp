#include "gravelix.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "coefficients.h"
#include "flushdenormals.h"
#include "gravelixeditor.h"
#include "valuetotext.h"

namespace {

constexpr const char* kEffectName = kPedalName;
constexpr const char* kVendor = "Keldwyn";
constexpr VstInt32 kProgramNameChars = kVstMaxProgNameLen - 1;

// The gain a decibel row shows, derived from its value as the coefficients are.
float shownGain(VstInt32 index, float value) {
    return index == Gravelix::kOutput ? outputGainRule(value) : inputGainRule(value);
}

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
    processRate = getSampleRate();

    programs = std::make_unique<GravelixProgram[]>(static_cast<std::size_t>(numPrograms));
    for (VstInt32 i = 0; i < numPrograms; ++i) {
        programs[static_cast<std::size_t>(i)] = kFactoryPrograms[0];
    }
    initPrograms();

    values.fill(0.0f);
    values[kEffect] = 1.0f;
    effectOn = false;
    stereoOn = false;

    setProgram(0);

    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(kUniqueId);
    canProcessReplacing(true);

    startUp();
    if (chain.clippers.latencyFrames() != 0) {
        setInitialDelay(chain.clippers.latencyFrames());
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

void Gravelix::startUp() {
    chain.pickup.coeff.set(pickupCoeffRule(processRate));
    chain.lowCut.pair.set(startUpPair(kStartLowCutCorner, processRate));
    chain.clippers.setCorners(processRate);
    chain.highCut.pair.set(startUpPair(kStartHighCutCorner, processRate));
    lowCutSet = false;
    highCutSet = false;
    chain.reset();
    applyDistortion();
}

void Gravelix::applyDistortion() {
    chain.opamp.set(distortionRule(values[kDistortion], processRate));
}

void Gravelix::applyRateDependent() {
    chain.pickup.coeff.set(pickupCoeffRule(processRate));
    chain.clippers.setCorners(processRate);
    applyDistortion();
    chain.lowCut.pair.set(lowCutSet ? lowCutRule(values[kLowCut], processRate)
                                    : startUpPair(kStartLowCutCorner, processRate));
    chain.highCut.pair.set(highCutSet ? highCutRule(values[kHighCut], processRate)
                                      : startUpPair(kStartHighCutCorner, processRate));
}

void Gravelix::resume() {
    // Hosts resume before each new stream on one instance (the next track of a batch, Apply
    // after Preview, a restarted transport); the last stream's tail must not sound in it.
    chain.reset();
    AudioEffectX::resume();
}

void Gravelix::setSampleRate(float newSampleRate) {
    // Not a rate at all: keep everything as it is.
    if (!std::isfinite(newSampleRate) || !(newSampleRate > 0.0f)) {
        return;
    }
    AudioEffectX::setSampleRate(newSampleRate);
    float rate = newSampleRate;
    if (rate < kMinProcessRate) {
        rate = kMinProcessRate;
    } else if (rate > kMaxProcessRate) {
        rate = kMaxProcessRate;
    }
    processRate = rate;
    applyRateDependent();
    // A latency that follows the rate is announced; the pedal's own never changes.
    const VstInt32 delay = chain.clippers.latencyFrames();
    if (delay != cEffect.initialDelay) {
        setInitialDelay(delay);
        ioChanged();
    }
}

void Gravelix::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    // Audio thread; real time: no allocation, locks, host calls or transcendental functions.
    if (sampleFrames <= 0) {
        return;
    }
    const Buffers io{inputs[0], inputs[1], outputs[0], outputs[1]};

    // The states live in locals for the block (see PedalChain::ChannelState).
    PedalChain::ChannelState left = chain.load(kLeft);
    PedalChain::ChannelState right = chain.load(kRight);

    // Flush-to-zero only while the chain runs: the effect-off paths stay bit-exact.
    FlushDenormals flush;
    VstInt32 i = 0;
    while (i < sampleFrames) {
        // The flags as they are at sample i choose its run; each run reads them again at
        // every later sample and ends where they change.
        const bool effect = effectOn;
        const bool stereo = stereoOn;
        if (!effect) {
            flush.release();
            i = bypassRun(io, i, sampleFrames, stereo);
        } else {
            flush.engage();
            i = stereo ? stereoRun(io, i, sampleFrames, left, right)
                       : monoRun(io, i, sampleFrames, left);
        }
    }
    chain.store(kLeft, left);
    chain.store(kRight, right);
}

// Both inputs of a frame are read before either output is written (in-place buffers).
VstInt32 Gravelix::bypassRun(const Buffers& io, VstInt32 i, VstInt32 end, bool stereo) {
    if (stereo) {
        do {
            const float inL = io.inLeft[i];
            const float inR = io.inRight[i];
            io.outLeft[i] = inL;
            io.outRight[i] = inR;
            ++i;
        } while (i < end && !effectOn && stereoOn);
    } else {
        do {
            const float average = (io.inRight[i] + io.inLeft[i]) * 0.5f;
            io.outLeft[i] = average;
            io.outRight[i] = average;
            ++i;
        } while (i < end && !effectOn && !stereoOn);
    }
    return i;
}

VstInt32 Gravelix::monoRun(const Buffers& io, VstInt32 i, VstInt32 end,
                           PedalChain::ChannelState& state) {
    PedalChain::ChannelState s = state;
    do {
        const float inL = io.inLeft[i];
        const float inR = io.inRight[i];
        const float y = chain.mono(inL, inR, s);
        io.outLeft[i] = y;
        io.outRight[i] = y;
        ++i;
    } while (i < end && effectOn && !stereoOn);
    state = s;
    return i;
}

VstInt32 Gravelix::stereoRun(const Buffers& io, VstInt32 i, VstInt32 end,
                             PedalChain::ChannelState& left, PedalChain::ChannelState& right) {
    // Chosen at compile time: the two-lane chain wherever SSE2 exists, else the scalar one.
#if GRAVELIX_STEREO_SSE2
    PedalChain::Lanes s = PedalChain::toLanes(left, right);
#else
    PedalChain::ChannelState l = left;
    PedalChain::ChannelState r = right;
#endif
    do {
        const float inL = io.inLeft[i];
        const float inR = io.inRight[i];
        float yL = 0.0f;
        float yR = 0.0f;
#if GRAVELIX_STEREO_SSE2
        chain.stereo(inL, inR, s, yL, yR);
#else
        chain.stereo(inL, inR, l, r, yL, yR);
#endif
        io.outLeft[i] = yL;
        io.outRight[i] = yR;
        ++i;
    } while (i < end && effectOn && stereoOn);
#if GRAVELIX_STEREO_SSE2
    PedalChain::fromLanes(s, left, right);
#else
    left = l;
    right = r;
#endif
    return i;
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

    programs[static_cast<std::size_t>(curProgram)].*parameterInfo(index).field = v;
    values[static_cast<std::size_t>(index)] = v;
    // Every index has its case: the build rejects a switch over the enum that misses one.
    switch (static_cast<ParameterIndex>(index)) {
    case kOutput:
        chain.output.gain.set(outputGainRule(v));
        break;
    case kDistortion:
        applyDistortion();
        break;
    case kInput:
        chain.input.gain.set(inputGainRule(v));
        break;
    case kOpampClipping: {
        const ClipBounds c = opampClippingRule(v);
        chain.clippers.clipLow.set(c.clipLow);
        chain.clippers.clipHigh.set(c.clipHigh);
        break;
    }
    case kDiodeClipping:
        chain.clippers.diodeKnee.set(diodeKneeRule(v));
        break;
    case kHighCut:
        chain.highCut.pair.set(highCutRule(v, processRate));
        highCutSet = true;
        break;
    case kLowCut:
        chain.lowCut.pair.set(lowCutRule(v, processRate));
        lowCutSet = true;
        break;
    case kPickup:
        chain.pickup.on = v > 0.5f;
        break;
    case kStereo:
        stereoOn = v > 0.5f;
        break;
    case kEffect:
        effectOn = v == 1.0f;
        break;
    case kParameterCount:
        break;
    }
}

float Gravelix::getParameter(VstInt32 index) {
    if (!isParameter(index)) {
        return 0.0f;
    }
    const float v = values[static_cast<std::size_t>(index)];
    switch (parameterInfo(index).answer) {
    case ParameterAnswer::value:
        return v;
    case ParameterAnswer::aboveHalf:
        return v > 0.5f ? 1.0f : 0.0f;
    case ParameterAnswer::atOne:
        return v == 1.0f ? 1.0f : 0.0f;
    }
    return 0.0f;
}

void Gravelix::setProgram(VstInt32 program) {
    if (program < 0 || program >= kNumPrograms) {
        return;
    }
    curProgram = program;
    // Table order; each call stores its clamped value back into the same record.
    const GravelixProgram& p = programs[static_cast<std::size_t>(program)];
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
    const float v = values[static_cast<std::size_t>(index)];
    switch (parameterInfo(index).text) {
    case ParameterText::decibels:
        dB2string(shownGain(index, v), text, kVstMaxParamStrLen);
        break;
    case ParameterText::number:
        float2string(v, text, kVstMaxParamStrLen);
        break;
    case ParameterText::onOff:
        onOff2string(v, text, kVstMaxParamStrLen);
        break;
    case ParameterText::channels:
        stereo2string(v, text, kVstMaxParamStrLen);
        break;
    }
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
    if (value < 0.0f) {
        vst_strncpy(text, "-oo", maxLen);
    } else if (value < 0.5f) {
        vst_strncpy(text, "Mono", maxLen);
    } else if (value <= 1.0f) {
        vst_strncpy(text, "Stereo", maxLen);
    } else {
        float2string(value, text, maxLen);
    }
}

void Gravelix::onOff2string(float value, char* text, VstInt32 maxLen) {
    if (value < 0.0f) {
        vst_strncpy(text, "-oo", maxLen);
    } else if (value < 1.0f) {
        vst_strncpy(text, "Off", maxLen);
    } else if (value == 1.0f) {
        vst_strncpy(text, "On", maxLen);
    } else {
        float2string(value, text, maxLen);
    }
}

void Gravelix::initPrograms() {
    for (VstInt32 i = 1; i < numPrograms; ++i) {
        programs[static_cast<std::size_t>(i)] = kFactoryPrograms[i];
    }
}

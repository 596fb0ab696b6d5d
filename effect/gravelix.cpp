#include "gravelix.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "coefficients.h"
#include "flushdenormals.h"
#include "gravelixeditor.h"
#include "valuetotext.h"

namespace {

constexpr const char* kEffectName = "Gravelix x64";
constexpr const char* kVendor = "Keldwyn";
constexpr VstInt32 kProgramNameChars = kVstMaxProgNameLen - 1;

constexpr const char* kParameterNames[Gravelix::kNumParams] = {
    "Output",   "Distortion", "Input",  "Opamp Clipping", "Diode Clipping",
    "High Cut", "Low Cut",    "Pickup", "Stereo",         "Effect",
};

bool isParameter(VstInt32 index) {
    return index >= 0 && index < Gravelix::kNumParams;
}

void setProgramValues(GravelixProgram& p, const char* name, float output, float distortion,
                      float input, float opamp, float diode, float pickup, float highCut,
                      float lowCut, float stereo, float effect) {
    p.output = output;
    p.distortion = distortion;
    p.input = input;
    p.opampClipping = opamp;
    p.diodeClipping = diode;
    p.pickup = pickup;
    p.highCut = highCut;
    p.lowCut = lowCut;
    p.stereo = stereo;
    p.effect = effect;
    vst_strncpy(p.name, name, kProgramNameChars);
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
    initPrograms();

    outputValue = distortionValue = inputValue = opampValue = diodeValue = 0.0f;
    pickupValue = highCutValue = lowCutValue = stereoValue = 0.0f;
    effectValue = 1.0f;
    effectOn = false;
    stereoOn = false;

    setProgram(0);

    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(kUniqueId);
    canProcessReplacing(true);

    startUp();

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
    pickupCoeff = pickupCoeffRule(processRate);
    const OnePolePair lowCut = startUpPair(kStartLowCutCorner, processRate);
    lowCutB = lowCut.b;
    lowCutA = lowCut.a;
    const OnePolePair coupling = startUpPair(kCouplingCorner, processRate);
    couplingB = coupling.b;
    couplingA = coupling.a;
    const OnePolePair smooth = startUpPair(kSmoothCorner, processRate);
    smoothB = smooth.b;
    smoothA = smooth.a;
    const OnePolePair highCut = startUpPair(kStartHighCutCorner, processRate);
    highCutB = highCut.b;
    highCutA = highCut.a;
    lowCutSet = false;
    highCutSet = false;

    lowCutStateL = lowCutStateR = gainHpStateL = gainHpStateR = 0.0f;
    bandLpStateL = bandLpStateR = prevL = prevR = 0.0f;
    couplingStateL = couplingStateR = smoothStateL = smoothStateR = 0.0f;
    decimMidL = decimPrevL = decimMidR = decimPrevR = 0.0f;
    highCutStateL = highCutStateR = 0.0f;
    pickupLowL = pickupBandL = pickupLowR = pickupBandR = 0.0f;
    outL = outR = 0.0f;

    applyDistortion();
    publishLanes(kLanesAll);
}

void Gravelix::applyDistortion() {
    const DistortionValues d = distortionRule(distortionValue, processRate);
    potResistance = d.potResistance;
    opampGain = d.opampGain;
    gainHpB = d.gainHpB;
    gainHpA = d.gainHpA;
    bandLpB = d.bandLpB;
    bandLpA = d.bandLpA;
}

void Gravelix::applyRateDependent() {
    pickupCoeff = pickupCoeffRule(processRate);
    const OnePolePair coupling = startUpPair(kCouplingCorner, processRate);
    couplingB = coupling.b;
    couplingA = coupling.a;
    const OnePolePair smooth = startUpPair(kSmoothCorner, processRate);
    smoothB = smooth.b;
    smoothA = smooth.a;
    applyDistortion();
    const OnePolePair lowCut = lowCutSet ? lowCutRule(lowCutValue, processRate)
                                         : startUpPair(kStartLowCutCorner, processRate);
    lowCutB = lowCut.b;
    lowCutA = lowCut.a;
    const OnePolePair highCut = highCutSet ? highCutRule(highCutValue, processRate)
                                           : startUpPair(kStartHighCutCorner, processRate);
    highCutB = highCut.b;
    highCutA = highCut.a;
    publishLanes(kLanesAll);
}

void Gravelix::publishLanes([[maybe_unused]] unsigned groups) {
#if GRAVELIX_STEREO_SSE2
    StereoCoefficients& c = stereoCoefficients;
    if (groups & kLanesOutput) {
        c.outputGain = _mm_set1_ps(outputGain);
    }
    if (groups & kLanesInput) {
        c.inputGain = _mm_set1_ps(inputGain);
    }
    if (groups & kLanesDistortion) {
        c.opampGain = _mm_set1_ps(opampGain);
        c.gainHpB = _mm_set1_ps(gainHpB);
        c.gainHpA = _mm_set1_ps(gainHpA);
        c.bandLpB = _mm_set1_ps(bandLpB);
        c.bandLpA = _mm_set1_ps(bandLpA);
    }
    if (groups & kLanesClipping) {
        c.clipLow = _mm_set1_ps(clipLow);
        c.clipHigh = _mm_set1_ps(clipHigh);
    }
    if (groups & kLanesKnee) {
        c.diodeKnee = _mm_set1_ps(diodeKnee);
    }
    if (groups & kLanesHighCut) {
        c.highCutB = _mm_set1_ps(highCutB);
        c.highCutA = _mm_set1_ps(highCutA);
    }
    if (groups & kLanesLowCut) {
        c.lowCutB = _mm_set1_ps(lowCutB);
        c.lowCutA = _mm_set1_ps(lowCutA);
    }
    if (groups & kLanesFixed) {
        c.pickupCoeff = _mm_set1_ps(pickupCoeff);
        c.couplingB = _mm_set1_ps(couplingB);
        c.couplingA = _mm_set1_ps(couplingA);
        c.smoothB = _mm_set1_ps(smoothB);
        c.smoothA = _mm_set1_ps(smoothA);
    }
#endif
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
}

void Gravelix::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    // Audio thread; real time: no allocation, locks, host calls or transcendental functions.
    if (sampleFrames <= 0) {
        return;
    }
    const Buffers io{inputs[0], inputs[1], outputs[0], outputs[1]};

    // The states live in locals for the block (see ChannelState).
    ChannelState left{};
    ChannelState right{};
    exchangeChannelStates(left, right, false);

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
    exchangeChannelStates(left, right, true);
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

VstInt32 Gravelix::monoRun(const Buffers& io, VstInt32 i, VstInt32 end, ChannelState& state) {
    ChannelState s = state;
    do {
        const float inL = io.inLeft[i];
        const float inR = io.inRight[i];
        const ChainCoefficients k = chainCoefficients();
        const float x = static_cast<float>(
            static_cast<double>((boundedInput(inR) + boundedInput(inL)) * inputGain) * 0.3);
        const float y = channelChain(x, k, s);
        io.outLeft[i] = y;
        io.outRight[i] = y;
        ++i;
    } while (i < end && effectOn && !stereoOn);
    state = s;
    return i;
}

VstInt32 Gravelix::stereoRun(const Buffers& io, VstInt32 i, VstInt32 end, ChannelState& left,
                             ChannelState& right) {
    // Chosen at compile time: the two-lane chain wherever SSE2 exists, else the scalar one.
#if GRAVELIX_STEREO_SSE2
    StereoLanes s = loadLanes(left, right);
#else
    ChannelState l = left;
    ChannelState r = right;
#endif
    do {
        const float inL = io.inLeft[i];
        const float inR = io.inRight[i];
        float yL = 0.0f;
        float yR = 0.0f;
#if GRAVELIX_STEREO_SSE2
        stereoFrameSse2(inL, inR, pickupValue > 0.5f, stereoCoefficients, s, yL, yR);
#else
        stereoFrame(inL, inR, inputGain, chainCoefficients(), l, r, yL, yR);
#endif
        io.outLeft[i] = yL;
        io.outRight[i] = yR;
        ++i;
    } while (i < end && effectOn && stereoOn);
#if GRAVELIX_STEREO_SSE2
    storeLanes(s, left, right);
#else
    left = l;
    right = r;
#endif
    return i;
}

void Gravelix::exchangeChannelStates(ChannelState& left, ChannelState& right, bool toMembers) {
    struct Binding {
        float ChannelState::*field;
        float Gravelix::*left;
        float Gravelix::*right;
    };
    static constexpr Binding bindings[] = {
        {&ChannelState::lowCut, &Gravelix::lowCutStateL, &Gravelix::lowCutStateR},
        {&ChannelState::pickupLow, &Gravelix::pickupLowL, &Gravelix::pickupLowR},
        {&ChannelState::pickupBand, &Gravelix::pickupBandL, &Gravelix::pickupBandR},
        {&ChannelState::gainHp, &Gravelix::gainHpStateL, &Gravelix::gainHpStateR},
        {&ChannelState::bandLp, &Gravelix::bandLpStateL, &Gravelix::bandLpStateR},
        {&ChannelState::prev, &Gravelix::prevL, &Gravelix::prevR},
        {&ChannelState::coupling, &Gravelix::couplingStateL, &Gravelix::couplingStateR},
        {&ChannelState::smooth, &Gravelix::smoothStateL, &Gravelix::smoothStateR},
        {&ChannelState::decimMid, &Gravelix::decimMidL, &Gravelix::decimMidR},
        {&ChannelState::decimPrev, &Gravelix::decimPrevL, &Gravelix::decimPrevR},
        {&ChannelState::highCut, &Gravelix::highCutStateL, &Gravelix::highCutStateR},
        {&ChannelState::work, &Gravelix::workL, &Gravelix::workR},
        {&ChannelState::mid, &Gravelix::midL, &Gravelix::midR},
        {&ChannelState::out, &Gravelix::outL, &Gravelix::outR},
    };
    for (const Binding& b : bindings) {
        if (toMembers) {
            this->*b.left = left.*b.field;
            this->*b.right = right.*b.field;
        } else {
            left.*b.field = this->*b.left;
            right.*b.field = this->*b.right;
        }
    }
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

    GravelixProgram& p = programs[static_cast<std::size_t>(curProgram)];
    switch (index) {
    case kOutput:
        p.output = outputValue = v;
        outputGain = outputGainRule(v);
        publishLanes(kLanesOutput);
        break;
    case kDistortion:
        p.distortion = distortionValue = v;
        applyDistortion();
        publishLanes(kLanesDistortion);
        break;
    case kInput:
        p.input = inputValue = v;
        inputGain = inputGainRule(v);
        publishLanes(kLanesInput);
        break;
    case kOpampClipping: {
        p.opampClipping = opampValue = v;
        const ClipBounds c = opampClippingRule(v);
        clipLow = c.clipLow;
        clipHigh = c.clipHigh;
        publishLanes(kLanesClipping);
        break;
    }
    case kDiodeClipping:
        p.diodeClipping = diodeValue = v;
        diodeKnee = diodeKneeRule(v);
        publishLanes(kLanesKnee);
        break;
    case kHighCut: {
        p.highCut = highCutValue = v;
        const OnePolePair pair = highCutRule(v, processRate);
        highCutB = pair.b;
        highCutA = pair.a;
        highCutSet = true;
        publishLanes(kLanesHighCut);
        break;
    }
    case kLowCut: {
        p.lowCut = lowCutValue = v;
        const OnePolePair pair = lowCutRule(v, processRate);
        lowCutB = pair.b;
        lowCutA = pair.a;
        lowCutSet = true;
        publishLanes(kLanesLowCut);
        break;
    }
    case kPickup:
        p.pickup = pickupValue = v;
        break;
    case kStereo:
        p.stereo = stereoValue = v;
        stereoOn = v > 0.5f;
        break;
    case kEffect:
        p.effect = effectValue = v;
        effectOn = v == 1.0f;
        break;
    default:
        break;
    }
}

float Gravelix::getParameter(VstInt32 index) {
    switch (index) {
    case kOutput:
        return outputValue;
    case kDistortion:
        return distortionValue;
    case kInput:
        return inputValue;
    case kOpampClipping:
        return opampValue;
    case kDiodeClipping:
        return diodeValue;
    case kHighCut:
        return highCutValue;
    case kLowCut:
        return lowCutValue;
    case kPickup:
        return pickupValue > 0.5f ? 1.0f : 0.0f;
    case kStereo:
        return stereoOn ? 1.0f : 0.0f;
    case kEffect:
        return effectOn ? 1.0f : 0.0f;
    default:
        return 0.0f;
    }
}

void Gravelix::setProgram(VstInt32 program) {
    if (program < 0 || program >= kNumPrograms) {
        return;
    }
    curProgram = program;
    // Record order; each call stores its clamped value back into the same record.
    const GravelixProgram& p = programs[static_cast<std::size_t>(program)];
    setParameter(kOutput, p.output);
    setParameter(kDistortion, p.distortion);
    setParameter(kInput, p.input);
    setParameter(kOpampClipping, p.opampClipping);
    setParameter(kDiodeClipping, p.diodeClipping);
    setParameter(kPickup, p.pickup);
    setParameter(kHighCut, p.highCut);
    setParameter(kLowCut, p.lowCut);
    setParameter(kStereo, p.stereo);
    setParameter(kEffect, p.effect);
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
    std::strcpy(label, index == kOutput || index == kInput ? "dB" : "");
}

void Gravelix::getParameterDisplay(VstInt32 index, char* text) {
    if (text == nullptr) {
        return;
    }
    switch (index) {
    case kOutput:
        dB2string(outputGain, text, kVstMaxParamStrLen);
        break;
    case kDistortion:
        float2string(distortionValue, text, kVstMaxParamStrLen);
        break;
    case kInput:
        dB2string(inputGain, text, kVstMaxParamStrLen);
        break;
    case kOpampClipping:
        float2string(opampValue, text, kVstMaxParamStrLen);
        break;
    case kDiodeClipping:
        float2string(diodeValue, text, kVstMaxParamStrLen);
        break;
    case kHighCut:
        float2string(highCutValue, text, kVstMaxParamStrLen);
        break;
    case kLowCut:
        float2string(lowCutValue, text, kVstMaxParamStrLen);
        break;
    case kPickup:
        onOff2string(pickupValue, text, kVstMaxParamStrLen);
        break;
    case kStereo:
        stereo2string(stereoValue, text, kVstMaxParamStrLen);
        break;
    case kEffect:
        onOff2string(effectValue, text, kVstMaxParamStrLen);
        break;
    default:
        break;
    }
}

void Gravelix::getParameterName(VstInt32 index, char* text) {
    // Whole names: the two longest have 14 characters, beyond the usual 8.
    if (text == nullptr || !isParameter(index)) {
        return;
    }
    std::strcpy(text, kParameterNames[index]);
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
    setProgramValues(programs[1], "Hi-Gain", 0.5f, 0.8f, 0.8f, 1.0f, 1.0f, 1.0f, 0.6f, 0.4f, 0.0f,
                     1.0f);
    setProgramValues(programs[2], "TS", 0.65f, 0.4f, 0.5f, 0.0f, 0.5f, 1.0f, 0.8f, 0.5f, 0.0f,
                     1.0f);
    setProgramValues(programs[3], "Gritty", 0.8f, 0.8f, 0.5f, 1.0f, 0.0f, 0.0f, 0.0f, 0.4f, 0.0f,
                     1.0f);
}

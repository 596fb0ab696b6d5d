#pragma once

#include <array>

#include "audioeffectx.h"
#include "gravelixversion.h"
#include "pedalcore.h"

// The distortion pedal as a VST 2.4 effect: the pedal core (parameters, programs, coefficient
// rules, signal chain) behind the effect interface. Every parameter change, whoever makes it,
// goes through setParameter.
class Gravelix : public AudioEffectX {
public:
    // The parameter indices of the table, as Gravelix::kOutput and so on.
    using enum ParameterIndex;

    static constexpr VstInt32 kNumPrograms = PedalCore::kNumPrograms;
    static constexpr VstInt32 kNumParams = kParameterCount;
    static constexpr VstInt32 kUniqueId = kPedalUniqueId;
    static constexpr VstInt32 kVendorVersion = GRAVELIX_VENDOR_VERSION;
    static constexpr float kMinProcessRate = PedalCore::kMinProcessRate;
    static constexpr float kMaxProcessRate = PedalCore::kMaxProcessRate;

    explicit Gravelix(audioMasterCallback audioMaster);
    ~Gravelix() override;

    // The host's rate reaches the coefficients, so the pedal sounds the same at every rate.
    void setSampleRate(float newSampleRate) override;
    // A new stream starts: every stage's per-channel state is cleared, and nothing else
    // (coefficients, parameters, programs and the current program stay). Suspend does nothing.
    // Called while the host is not processing.
    void resume() override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;
    // The host's window scale ('PreS', 'AeCs', the factor in floatArg): passed to the editor,
    // answered 1. Everything else 0.
    VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) override;

    static constexpr VstInt32 kHostScaleMessage = 0x50726553; // 'PreS'
    static constexpr VstIntPtr kHostScaleValue = 0x41654373;  // 'AeCs'

    virtual void stereo2string(float value, char* text, VstInt32 maxLen);
    virtual void onOff2string(float value, char* text, VstInt32 maxLen);
    virtual void initPrograms();

protected:
    PedalCore core;
    // The core's records and state under the names the effect always gave them.
    std::array<GravelixProgram, PedalCore::kNumPrograms>& programs = core.programs;
    float& processRate = core.processRate;
    PedalChain& chain = core.chain;

    float lastValue = 0.0f;
};

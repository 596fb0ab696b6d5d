#pragma once

#include <array>
#include <iterator>
#include <memory>

#include "audioeffectx.h"
#include "gravelixprogram.h"
#include "gravelixversion.h"
#include "parametertable.h"
#include "pedalvariant.h"

// The distortion pedal: ten parameters, four in-memory programs, the coefficient rules and
// the signal chain. Every parameter change, whoever makes it, goes through setParameter.
class Gravelix : public AudioEffectX {
public:
    // The parameter indices of the table, as Gravelix::kOutput and so on.
    using enum ParameterIndex;

    static constexpr VstInt32 kNumPrograms = static_cast<VstInt32>(std::size(kFactoryPrograms));
    static constexpr VstInt32 kNumParams = kParameterCount;
    static constexpr VstInt32 kUniqueId = kPedalUniqueId;
    static constexpr VstInt32 kVendorVersion = GRAVELIX_VENDOR_VERSION;
    // Outside this range some rules turn unstable (the pickup filter first, at low rates).
    static constexpr float kMinProcessRate = 22050.0f;
    static constexpr float kMaxProcessRate = 384000.0f;

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
    std::unique_ptr<GravelixProgram[]> programs;

    // The normalised value of each parameter, by index.
    std::array<float, kParameterCount> values{};

    float lastValue = 0.0f;
    bool effectOn = false;
    bool stereoOn = false;
    float processRate = 0.0f;

    // Whether Low Cut / High Cut were set after start-up replaced their pairs; a new
    // sample rate recomputes each pair by whichever rule produced it.
    bool lowCutSet = false;
    bool highCutSet = false;

    // The stages in signal order, each with its coefficients and its per-channel state.
    PedalChain chain;

private:
    struct Buffers {
        const float* inLeft;
        const float* inRight;
        float* outLeft;
        float* outRight;
    };
    // Each runs frames from i while the flags stay as they were at i and answers where it
    // stopped. Called on the audio thread; no allocation.
    VstInt32 bypassRun(const Buffers& io, VstInt32 i, VstInt32 end, bool stereo);
    VstInt32 monoRun(const Buffers& io, VstInt32 i, VstInt32 end, PedalChain::ChannelState& state);
    VstInt32 stereoRun(const Buffers& io, VstInt32 i, VstInt32 end, PedalChain::ChannelState& left,
                       PedalChain::ChannelState& right);

    void startUp();
    void applyDistortion();
    void applyRateDependent();
};

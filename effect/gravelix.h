#pragma once

#include <memory>

#include "audioeffectx.h"
#include "gravelixprogram.h"
#include "gravelixversion.h"
#include "stereochain.h"

// The distortion pedal: ten parameters, four in-memory programs, the coefficient rules and
// the signal chain. Every parameter change, whoever makes it, goes through setParameter.
class Gravelix : public AudioEffectX {
public:
    static constexpr VstInt32 kNumPrograms = 4;
    static constexpr VstInt32 kNumParams = 10;
    static constexpr VstInt32 kUniqueId = ('G' << 24) | ('r' << 16) | ('v' << 8) | 'x';
    static constexpr VstInt32 kVendorVersion = GRAVELIX_VENDOR_VERSION;
    // Outside this range some rules turn unstable (the pickup filter first, at low rates).
    static constexpr float kMinProcessRate = 22050.0f;
    static constexpr float kMaxProcessRate = 384000.0f;

    enum Parameter : VstInt32 {
        kOutput = 0,
        kDistortion,
        kInput,
        kOpampClipping,
        kDiodeClipping,
        kHighCut,
        kLowCut,
        kPickup,
        kStereo,
        kEffect,
    };

    explicit Gravelix(audioMasterCallback audioMaster);
    ~Gravelix() override;

    // The host's rate reaches the coefficients, so the pedal sounds the same at every rate.
    void setSampleRate(float newSampleRate) override;
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

    float outputValue = 0.0f;
    float distortionValue = 0.0f;
    float inputValue = 0.0f;
    float opampValue = 0.0f;
    float diodeValue = 0.0f;
    float pickupValue = 0.0f;
    float highCutValue = 0.0f;
    float lowCutValue = 0.0f;
    float stereoValue = 0.0f;
    float effectValue = 0.0f;

    float inputGain = 0.0f;
    float outputGain = 0.0f;
    float lastValue = 0.0f;
    bool effectOn = false;
    bool stereoOn = false;

    float pickupCoeff = 0.0f;
    float potResistance = 0.0f;
    float gainHpA = 0.0f;
    float gainHpB = 0.0f;
    float bandLpA = 0.0f;
    float bandLpB = 0.0f;
    float clipHigh = 0.0f;
    float clipLow = 0.0f;
    float diodeKnee = 0.0f;
    float opampGain = 0.0f;

    float workL = 0.0f;
    float workR = 0.0f;
    float midR = 0.0f;
    float midL = 0.0f;
    float pickupLowL = 0.0f;
    float pickupBandL = 0.0f;
    float pickupLowR = 0.0f;
    float pickupBandR = 0.0f;
    float outL = 0.0f;
    float outR = 0.0f;

    float lowCutA = 0.0f;
    float lowCutB = 0.0f;
    float couplingA = 0.0f;
    float couplingB = 0.0f;
    float smoothA = 0.0f;
    float smoothB = 0.0f;
    float highCutA = 0.0f;
    float highCutB = 0.0f;

    float processRate = 0.0f;

    float lowCutStateL = 0.0f;
    float lowCutStateR = 0.0f;
    float gainHpStateL = 0.0f;
    float gainHpStateR = 0.0f;
    float bandLpStateL = 0.0f;
    float bandLpStateR = 0.0f;
    float prevL = 0.0f;
    float prevR = 0.0f;
    float couplingStateL = 0.0f;
    float couplingStateR = 0.0f;
    float smoothStateL = 0.0f;
    float smoothStateR = 0.0f;
    float decimMidL = 0.0f;
    float decimPrevL = 0.0f;
    float decimMidR = 0.0f;
    float decimPrevR = 0.0f;
    float highCutStateL = 0.0f;
    float highCutStateR = 0.0f;

    // Whether Low Cut / High Cut were set after start-up replaced their pairs; a new
    // sample rate recomputes each pair by whichever rule produced it.
    bool lowCutSet = false;
    bool highCutSet = false;

#if GRAVELIX_STEREO_SSE2
    // The two-lane chain's copy of the coefficients above. Each is written with one aligned
    // store, so the audio thread never sees its two lanes disagree.
    StereoCoefficients stereoCoefficients{};
#endif

    // Everything one sample of the chain multiplies with, read from the members.
    ChainCoefficients chainCoefficients() const {
        return {lowCutA, lowCutB,   pickupValue > 0.5f, pickupCoeff, opampGain, gainHpA,   gainHpB,
                bandLpA, bandLpB,   clipHigh,           clipLow,     couplingA, couplingB, smoothA,
                smoothB, diodeKnee, highCutA,           highCutB,    outputGain};
    }

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
    VstInt32 monoRun(const Buffers& io, VstInt32 i, VstInt32 end, ChannelState& state);
    VstInt32 stereoRun(const Buffers& io, VstInt32 i, VstInt32 end, ChannelState& left,
                       ChannelState& right);

    void startUp();
    void applyDistortion();
    void applyRateDependent();
    // Coefficients that change together, as the two-lane chain's copy is refreshed.
    enum LaneGroup : unsigned {
        kLanesOutput = 1u << 0,
        kLanesInput = 1u << 1,
        kLanesDistortion = 1u << 2,
        kLanesClipping = 1u << 3,
        kLanesKnee = 1u << 4,
        kLanesHighCut = 1u << 5,
        kLanesLowCut = 1u << 6,
        kLanesFixed = 1u << 7,
        kLanesAll = (1u << 8) - 1,
    };
    // Copies the groups' members into the two-lane chain's copy, pairs b before a. Called
    // right after the members changed, on the same thread, and only for the groups that did:
    // a change on another thread never has its copy overwritten with a value read before it.
    void publishLanes(unsigned groups);
    // Copies both channels' states between the members and a block's local copies.
    void exchangeChannelStates(ChannelState& left, ChannelState& right, bool toMembers);
};

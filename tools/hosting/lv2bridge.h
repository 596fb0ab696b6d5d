// One LV2 plug-in instance presented to the rest of the host as an effect record, so that every
// command and check drives it as it drives a VST 2.4 plug-in: audio ports as the record's
// inputs and outputs, input control ports as normalised parameters over their ranges, presets
// as programs, the latency port as the initial delay, lv2:enabled as the bypass. The host's
// features (URID map, options, bounded block length, log) are offered here, and the plug-in's
// X11 UI is its editor (see Lv2Ui).
//
// LV2 fixes the sample rate and the longest block at instantiation: a change to either takes
// effect at the next resume, with a new instance holding the same control values.
#pragma once

#include "bridgerecord.h"
#include "lv2plugin.h"
#include "lv2ui.h"
#include "plugin/aeffect.h"

#include <lv2/core/lv2.h>
#include <lv2/log/log.h>
#include <lv2/options/options.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gravelix::host {

class Lv2Bridge {
public:
    enum class PortKind { Audio, Control, CV, Atom };
    enum class Designation { None, Enabled, Latency, SampleRate, FreeWheeling };
    struct Port {
        std::uint32_t index = 0;
        PortKind kind = PortKind::Control;
        bool input = true;
        std::string symbol, name, unit;
        float min = 0.0f, max = 1.0f, def = 0.0f;
        bool toggled = false, integer = false, enumeration = false, logarithmic = false;
        Designation designation = Designation::None;
        std::vector<std::pair<float, std::string>> scalePoints;
    };
    struct Preset {
        std::string uri, label;
    };

    // Finds the plug-in (see Lv2Plugin), instantiates it at 44.1 kHz and 512 frames and
    // presents it; the record calls `callback` for what the plug-in reports. Throws LoadError.
    Lv2Bridge(const std::string& where, const std::string& pluginUri, audioMasterCallback callback);
    ~Lv2Bridge();
    Lv2Bridge(const Lv2Bridge&) = delete;
    Lv2Bridge& operator=(const Lv2Bridge&) = delete;

    AEffect* effect() { return &effect_; }
    const Lv2Plugin& plugin() const { return *plugin_; }
    Lv2Plugin& plugin() { return *plugin_; }
    double librarySeconds() const { return plugin_->worldSeconds(); }
    double entrySeconds() const { return entrySeconds_; }
    double entryCpuSeconds() const { return entryCpuSeconds_; }

    const std::vector<Port>& ports() const { return ports_; }
    const std::vector<Preset>& presets() const { return presets_; }
    // Port index of each parameter.
    const std::vector<std::uint32_t>& parameterPorts() const { return parameters_; }
    // The features instances get, null-terminated, for checks that instantiate their own.
    const LV2_Feature* const* features() const { return featureList_.data(); }
    // Host features a plug-in may require that this host offers.
    static bool offers(const std::string& featureUri);

    // The instance, for checks that drive it past the record; valid until the next resume
    // after a change of rate or block length.
    const LV2_Descriptor* descriptor() const;
    LV2_Handle handle() const;
    bool active() const { return active_.load(); }
    double sampleRate() const { return rate_; }

    double plainValue(VstInt32 index, float normalised) const;
    float normalisedValue(VstInt32 index, double plain) const;
    // A control port's value as the host holds it (inputs) or as the last block left it.
    float portValue(std::uint32_t port) const;
    // Sets an input control port by its plain value, as a UI or preset does.
    void setPortValue(std::uint32_t port, float value);

    // Main thread: reports a changed latency.
    void idle();
    // The X11 UI the editor opens, if the plug-in has one.
    const Lv2UiInfo* ui() const { return uiInfo_.uri.empty() ? nullptr : &uiInfo_; }

private:
    friend struct BridgeRecord<Lv2Bridge>;
    static int logPrintf(LV2_Log_Handle, LV2_URID type, const char* format, ...);
    static int logVprintf(LV2_Log_Handle, LV2_URID type, const char* format, va_list ap);

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    void process(float** inputs, float** outputs, VstInt32 frames);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);
    void readPorts();
    void readPresets();
    void findUi();
    VstIntPtr editorRect(void* ptr);
    VstIntPtr editorOpen(void* parent);
    void editorIdle();
    VstInt32 parameterOf(std::uint32_t port) const;
    void makeFeatures();
    void instantiate();
    void connectControls();
    void resume();
    void suspend();
    void close();
    VstIntPtr loadPreset(VstIntPtr index);
    std::string display(VstInt32 index) const;
    bool parse(VstInt32 index, const char* text);

    std::unique_ptr<Lv2Plugin> plugin_;
    audioMasterCallback callback_ = nullptr;
    AEffect effect_{};
    double entrySeconds_ = 0.0;
    double entryCpuSeconds_ = 0.0;

    std::vector<Port> ports_;
    std::vector<std::uint32_t> parameters_, audioIns_, audioOuts_;
    std::vector<Preset> presets_;
    std::int32_t enabledPort_ = -1, latencyPort_ = -1;
    bool inPlaceBroken_ = false;

    // Features: options, log, URID map and unmap; the list handed to instantiate.
    std::int32_t minBlock_ = 1, maxBlockOption_ = 512, nominalBlock_ = 512, sequenceSize_ = 8192;
    float rateOption_ = 44100.0f;
    LV2_URID atomChunk_ = 0;
    std::vector<LV2_Options_Option> options_;
    LV2_Log_Log log_{};
    std::vector<LV2_Feature> features_;
    std::vector<const LV2_Feature*> featureList_;

    LilvInstance* instance_ = nullptr;
    double instanceRate_ = 0.0;
    std::uint32_t instanceMaxFrames_ = 0;
    double rate_ = 44100.0;
    std::uint32_t maxFrames_ = 512;

    // Input controls: the host's values (any thread) and the ports' own memory (the audio thread
    // copies the first into the second at the start of a block when they changed).
    std::unique_ptr<std::atomic<float>[]> target_;
    std::vector<float> portMemory_;
    std::atomic<bool> controlsChanged_{true};
    // Output controls as the last block left them, for other threads to read.
    std::vector<std::uint32_t> controlOuts_;
    std::unique_ptr<std::atomic<float>[]> outputValue_;
    // Buffers for ports the record has no buffer for: CV (silence), atoms (an empty sequence
    // in, room out), and copies of the inputs for plug-ins that cannot run in place.
    std::vector<float> silence_, scratch_, inputCopies_;
    std::vector<std::vector<std::uint64_t>> atomBuffers_;

    // Whether processing may run; a block in progress is waited out by suspend.
    std::atomic<bool> active_{false};
    std::atomic<bool> inside_{false};

    // The editor: the UI, the size it last asked for, the scale the host told, and the value
    // of each port as the UI last heard it.
    Lv2UiInfo uiInfo_;
    std::unique_ptr<Lv2Ui> ui_;
    ERect rect_{};
    float scale_ = 0.0f;
    std::vector<float> uiValues_;

    std::vector<std::vector<float>> programValues_; // per program, once left
    VstInt32 program_ = 0;
    bool programChosen_ = false;
};

} // namespace gravelix::host

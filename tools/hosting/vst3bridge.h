// One VST3 instance (component and controller, split or single) presented to the rest of the
// host as an effect record, so that every command and check drives it through the dispatcher,
// setParameter and processReplacing as it drives a VST 2.4 plug-in. The host side of VST3 lives
// here too: the component handler, the view's frame and run loop; what the plug-in reports
// (edits, size requests, restarts) goes to the host callback the record was given.
//
// Threads: the thread inside processReplacing is the audio thread; every other thread counts as
// the main thread. The audio path takes no lock and allocates nothing.
#pragma once

#include "bridgerecord.h"
#include "plugin/aeffect.h"
#include "vst3classinfo.h"
#include "vst3parameterchanges.h"
#include "vst3platform.h"
#include "vst3plugin.h"

#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivsthostapplication.h>
#include <pluginterfaces/vst/ivstmessage.h>
#include <pluginterfaces/vst/ivstprocesscontext.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gravelix::host {

// The context every instance is initialised with: the host's name, its messages and the list of
// plug-in interfaces it uses.
Steinberg::Vst::IHostApplication* vst3HostApplication();

// UTF-16 as the SDK's strings hold it, to UTF-8.
std::string vst3Utf8(const Steinberg::Vst::TChar* text, std::size_t limit);

class Vst3Bridge {
public:
    // Creates, initialises and connects class `pluginId` of the module (its first audio class
    // for an empty id). The record calls `callback` for what the plug-in reports. Throws
    // LoadError.
    Vst3Bridge(const std::string& path, const std::string& pluginId, audioMasterCallback callback);
    ~Vst3Bridge();
    Vst3Bridge(const Vst3Bridge&) = delete;
    Vst3Bridge& operator=(const Vst3Bridge&) = delete;

    AEffect* effect() { return &effect_; }
    const std::vector<Vst3ClassInfo>& plugins() const { return file_->plugins(); }
    std::size_t chosen() const { return chosen_; }
    const Vst3ClassInfo& descriptor() const { return file_->plugins()[chosen_]; }
    const Vst3Plugin& file() const { return *file_; }
    double librarySeconds() const { return file_->librarySeconds(); }
    double entrySeconds() const { return entrySeconds_; }

    // The instance, for checks that go past the record; null once closed. Checks may drive
    // them directly while the record is suspended, leaving them inactive again.
    Steinberg::Vst::IComponent* component() const { return component_; }
    Steinberg::Vst::IAudioProcessor* processor() const { return processor_; }
    Steinberg::Vst::IEditController* controller() const { return controller_; }
    bool singleComponent() const { return single_; }
    // The parameters the record shows, by index (the program-change parameter is its programs).
    const std::vector<Steinberg::Vst::ParameterInfo>& paramInfos() const { return infos_; }
    // The ProcessSetup the next activation uses.
    Steinberg::Vst::ProcessSetup processSetup() const;
    bool active() const { return active_.load(); }
    // Timers and descriptor handlers the view holds in the host's run loop.
    int runLoopRegistrations() const { return runLoop_->registrations(); }

    // Runs on this (main) thread what the plug-in asked for since: a restart, the processor's
    // reports to the controller, due timers and ready descriptors.
    void idle();

private:
    class ComponentHandler;
    class PlugFrame;

    friend struct BridgeRecord<Vst3Bridge>;

    bool onAudioThread() const;
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    void process(float** inputs, float** outputs, VstInt32 frames);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);
    VstInt32 indexOf(Steinberg::Vst::ParamID id) const;

    void create(const std::string& path);
    void readBuses();
    void readParameters();
    void readPrograms();
    void transferState();
    bool activate();
    void deactivate();
    void restart();
    // Holds the audio path off (its blocks silent) until resumed; main thread.
    void pauseAudio();
    void resumeAudio();
    void collectPending();
    void flushPending();
    void runBlock(std::int32_t frames, std::int32_t offset, float** inputs, float** outputs,
                  bool withBuses);
    void fillContext();
    void close();
    VstIntPtr saveState(void** data);
    VstIntPtr loadState(const void* data, VstIntPtr size);
    VstIntPtr setProgram(VstIntPtr index);
    VstInt32 currentProgram();
    bool createView();
    VstIntPtr editorRect(void* ptr);
    VstIntPtr editorOpen(void* parent);
    void editorClose();
    bool resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* size);
    void restartComponent(Steinberg::int32 flags);
    void edited(Steinberg::Vst::ParamID id, int what, double value);

    std::unique_ptr<Vst3Plugin> file_;
    std::size_t chosen_ = 0;
    double entrySeconds_ = 0.0;
    audioMasterCallback callback_ = nullptr;
    AEffect effect_{};

    std::unique_ptr<ComponentHandler> handler_;
    std::unique_ptr<PlugFrame> frame_;
    Vst3RunLoop* runLoop_ = nullptr;
    Steinberg::Vst::IComponent* component_ = nullptr;
    Steinberg::Vst::IAudioProcessor* processor_ = nullptr;
    Steinberg::Vst::IEditController* controller_ = nullptr;
    Steinberg::Vst::IConnectionPoint* componentPoint_ = nullptr;
    Steinberg::Vst::IConnectionPoint* controllerPoint_ = nullptr;
    bool single_ = false;
    bool componentInitialised_ = false;
    bool controllerInitialised_ = false;

    // Parameters the record shows: infos by index, the last value the host set or the plug-in
    // reported (normalised), and whether a set value still waits for the processor.
    std::vector<Steinberg::Vst::ParameterInfo> infos_;
    std::unique_ptr<std::atomic<double>[]> values_;
    std::unique_ptr<std::atomic<bool>[]> pending_;
    // Values the processor reported, still to be shown to the controller.
    std::unique_ptr<std::atomic<bool>[]> reported_;
    std::atomic<bool> anyReported_{false};

    // Programs: the program-change parameter, its step count and the names.
    bool hasProgramParam_ = false;
    Steinberg::Vst::ParameterInfo programInfo_{};
    std::vector<std::string> programNames_;
    std::atomic<double> programValue_{0.0};
    std::atomic<bool> programPending_{false};
    VstInt32 program_ = 0;
    bool programChosen_ = false;
    std::vector<std::vector<std::uint8_t>> programStates_; // per program, once left

    std::vector<std::uint8_t> chunk_;

    // Set while suspended, read when activating.
    double rate_ = 44100.0;
    std::int32_t maxFrames_ = 512;
    std::int32_t processMode_ = 0;
    std::atomic<bool> active_{false};
    // Main input and output buses' channels, and every bus's channels, per direction.
    std::vector<std::int32_t> inBusChannels_, outBusChannels_;
    std::vector<bool> inBusMain_, outBusMain_;
    std::vector<Steinberg::Vst::AudioBusBuffers> inBuses_, outBuses_;
    std::vector<float*> channelPointers_;
    std::vector<float> scratch_;      // what aux buses read and write, maxFrames_ long each
    std::size_t auxInputSamples_ = 0; // the aux inputs' part of it, first
    Vst3ParameterChanges inChanges_, outChanges_;
    Steinberg::Vst::ProcessContext context_{};
    // Whether the processor asks for the transport, which only the host callback knows.
    bool needsTransport_ = false;
    std::int64_t continuousTime_ = 0;

    // A restart or a flush pauses the audio path: the main thread sets kPaused and waits until
    // the audio thread has left a block (kInside); a paused block is silent.
    static constexpr int kInside = 1, kPaused = 2;
    std::atomic<int> gate_{0};
    std::atomic<bool> restartRequested_{false};

    Steinberg::IPlugView* view_ = nullptr;
    bool viewAttached_ = false;
    ERect rect_{};
    // The editor's scale when the host knows one (left out at 0).
    double scale_ = 0.0;
};

} // namespace gravelix::host

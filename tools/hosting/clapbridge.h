// One CLAP plug-in instance presented to the rest of the host as an effect record, so that
// every command and check drives it through the dispatcher, setParameter and processReplacing
// as it drives a VST 2.4 plug-in. The host side of CLAP lives here too: its extensions answer
// the plug-in, and what the plug-in reports (edits, size requests) goes to the host callback
// the record was given, so the host's call log sees it.
//
// Threads: the thread inside processReplacing is the audio thread for thread-check; every other
// thread counts as the main thread. The audio path takes no lock and allocates nothing.
#pragma once

#include "bridgerecord.h"
#include "clapdescriptor.h"
#include "clapplugin.h"
#include "clappresets.h"
#include "plugin/aeffect.h"

#include "clapextensions.h"
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace gravelix::host {

// The host functions a plug-in can call, counted per thread role for the validator.
enum class ClapHostFunction : int {
    RequestRestart,
    RequestProcess,
    RequestCallback,
    ParamsRescan,
    ParamsClear,
    ParamsRequestFlush,
    LatencyChanged,
    StateMarkDirty,
    RegisterTimer,
    UnregisterTimer,
    RegisterFd,
    ModifyFd,
    UnregisterFd,
    GuiResizeHintsChanged,
    GuiRequestResize,
    GuiRequestShow,
    GuiRequestHide,
    GuiClosed,
    AudioPortsRescan,
    TailChanged,
    PresetLoaded,
    PresetError,
    Count
};
const char* clapHostFunctionName(ClapHostFunction function);
// Functions CLAP allows on the main thread only.
bool clapHostFunctionIsMainThreadOnly(ClapHostFunction function);

class ClapBridge {
public:
    // Creates and initialises plug-in `pluginId` of the file (its first for an empty id). The
    // record calls `callback` for what the plug-in reports. Throws LoadError.
    ClapBridge(const std::string& path, const std::string& pluginId, audioMasterCallback callback);
    ~ClapBridge();
    ClapBridge(const ClapBridge&) = delete;
    ClapBridge& operator=(const ClapBridge&) = delete;

    AEffect* effect() { return &effect_; }
    const std::vector<ClapDescriptor>& plugins() const { return file_->plugins(); }
    std::size_t chosen() const { return chosen_; }
    const ClapDescriptor& descriptor() const { return file_->plugins()[chosen_]; }
    const ClapPlugin& file() const { return *file_; }
    double librarySeconds() const { return file_->librarySeconds(); }
    double entrySeconds() const { return entrySeconds_; }

    // The instance and its extensions, for checks that go past the record; null once closed.
    const clap_plugin_t* plugin() const { return plugin_; }
    const clap_plugin_params_t* params() const { return params_; }
    const clap_plugin_state_t* state() const { return state_; }
    const clap_plugin_latency_t* latency() const { return latency_; }
    const std::vector<clap_param_info_t>& paramInfos() const { return infos_; }
    const std::vector<ClapPreset>& presets() const { return presets_; }
    bool active() const { return active_.load(); }

    // Calls the plug-in made into the host since the last clear, on the audio thread or not.
    std::uint32_t hostCalls(ClapHostFunction function, bool audioThread) const;
    // latency.changed calls while the plug-in was active outside its activation.
    std::uint32_t latencyChangesWhileActive() const { return latencyWhileActive_.load(); }
    void clearHostCalls();

    // Runs on this (main) thread what the plug-in asked for since: a restart, its main-thread
    // callback, a flush while inactive, due timers and ready descriptors.
    void idle();

    // Plain value of parameter `index` for a setting of 0..1 and back (stepped ones round).
    double plainValue(VstInt32 index, float normalised) const;
    float normalisedValue(VstInt32 index, double plain) const;

private:
    friend struct BridgeRecord<ClapBridge>;

    static const void* hostExtension(const clap_host_t* host, const char* id);
    static ClapBridge& of(const clap_host_t* host);
    void record(ClapHostFunction function);
    bool onAudioThread() const;

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    void process(float** inputs, float** outputs, VstInt32 frames);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);
    double currentPlain(VstInt32 index);
    VstInt32 indexOf(clap_id id) const;

    void readParamInfos();
    bool activate();
    void deactivate();
    void resume();
    void suspend();
    void restart();
    void flushPending();
    void flushNow();
    void collectPendingEvents();
    void flushWhileActive();
    void close();
    bool outputEvent(const clap_event_header_t* event);
    VstIntPtr saveState(void** data);
    VstIntPtr loadState(const void* data, VstIntPtr size);
    VstIntPtr loadPreset(VstIntPtr index);
    bool createGui();
    VstIntPtr editorRect(void* ptr);
    VstIntPtr editorOpen(void* parent);
    void editorClose();
    void runTimersAndFds();

    std::unique_ptr<ClapPlugin> file_;
    std::size_t chosen_ = 0;
    double entrySeconds_ = 0.0;
    audioMasterCallback callback_ = nullptr;
    AEffect effect_{};
    clap_host_t host_{};
    const clap_plugin_t* plugin_ = nullptr;
    const clap_plugin_params_t* params_ = nullptr;
    const clap_plugin_state_t* state_ = nullptr;
    const clap_plugin_latency_t* latency_ = nullptr;
    const clap_plugin_gui_t* gui_ = nullptr;
    const clap_plugin_timer_support_t* timers_ = nullptr;
    const clap_plugin_posix_fd_support_t* fds_ = nullptr;
    const clap_plugin_preset_load_t* presetLoad_ = nullptr;
    const clap_plugin_tail_t* tail_ = nullptr;

    // Parameters: infos by index, (id, index) sorted by id for the audio thread's lookups, the
    // last value the host set or the plug-in reported, and whether a set value still waits for
    // the next block.
    std::vector<clap_param_info_t> infos_;
    std::vector<std::pair<clap_id, VstInt32>> byId_;
    std::unique_ptr<std::atomic<double>[]> values_;
    std::unique_ptr<std::atomic<bool>[]> pending_;
    std::vector<clap_event_param_value_t> inEvents_; // one per parameter, sized at load
    std::uint32_t inCount_ = 0;
    clap_input_events_t inList_{};
    clap_output_events_t outList_{};

    std::vector<ClapPreset> presets_;
    VstInt32 program_ = 0;
    bool programChosen_ = false;
    std::vector<std::vector<std::uint8_t>> programStates_; // per program, once left
    std::vector<std::uint8_t> chunk_;

    // Set while suspended, read when activating.
    double rate_ = 44100.0;
    std::uint32_t maxFrames_ = 512;
    std::atomic<bool> active_{false};
    bool activating_ = false;
    // Owned by the audio thread while active.
    bool processing_ = false;
    std::int64_t steadyTime_ = 0;
    std::vector<std::uint32_t> inPorts_, outPorts_; // channels per port
    // One entry per port: the channel pointers of a block, pointing into the caller's buffers.
    std::vector<clap_audio_buffer_t> inBuffers_, outBuffers_;
    std::vector<float*> channelPointers_;

    // A restart (deactivate, activate) pauses the audio path: the main thread sets kPaused and
    // waits until the audio thread has left a block (kInside); a paused block is silent.
    // A flush (kFlushing) holds it off the same way, whichever thread asks for one: the
    // plug-in's event lists are one set, shared by process and flush.
    static constexpr int kInside = 1, kPaused = 2, kFlushing = 4;
    std::mutex flushMutex_;
    // The thread inside a flush, so that a host's answer to one of its events (setting a
    // parameter from within automate) waits for the next one instead of re-entering it.
    std::atomic<std::thread::id> flushingThread_{};
    std::atomic<int> gate_{0};
    std::atomic<bool> restartRequested_{false};
    std::atomic<bool> callbackRequested_{false};
    std::atomic<bool> flushRequested_{false};
    // Blocks processed, and their count at the last idle: whether blocks run.
    std::atomic<std::uint64_t> blocks_{0};
    std::uint64_t blocksAtLastIdle_ = 0;

    struct Timer {
        clap_id id;
        std::chrono::milliseconds period;
        std::chrono::steady_clock::time_point due;
    };
    std::vector<Timer> timerList_;
    // From 0, as some hosts number them: a plug-in taking 0 for "no timer" shows here.
    clap_id nextTimer_ = 0;
    std::vector<int> fdList_;
    std::vector<std::uint32_t> fdFlags_;

    bool guiCreated_ = false;
    bool guiOpen_ = false;
    ERect rect_{};
    // The editor's scale when the host knows one (set_scale is left out at 0).
    double scale_ = 0.0;

    std::atomic<std::uint32_t> calls_[static_cast<int>(ClapHostFunction::Count)][2]{};
    std::atomic<std::uint32_t> latencyWhileActive_{0};
};

} // namespace gravelix::host

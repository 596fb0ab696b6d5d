// Loads a plug-in library, hands it a host callback and owns the effect until closed.
#pragma once

#include "callrecorder.h"
#include "clapdescriptor.h"
#include "lv2descriptor.h"
#include "plugin/aeffect.h"
#include "transport.h"
#include "vst3classinfo.h"
#include "vsttimeinfo.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace gravelix::host {

// Why a plug-in could not be loaded; the message is one line naming the file.
class LoadError : public std::runtime_error {
public:
    enum class Kind {
        MissingFile,
        NotSharedLibrary,
        NoEntryPoint,
        NullEffect,
        BadMagic,
        TooManyInstances,
        UnknownPlugin // a CLAP or VST3 module or LV2 bundle without the plug-in asked for, or an
                      // id for a VST 2.4 library
    };
    LoadError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// What the host callback sees and answers; shared by every thread that calls back.
// Heap-allocated so the callback's view of it survives moves of the owning PluginHost.
// The setters of the stream format, transport and process level are called while the
// plug-in is not processing (before resume or while suspended).
class HostState {
public:
    using Listener = std::function<void(const HostCall&)>;
    using SizeWindowHandler = std::function<bool(int width, int height)>;

    HostState();
    ~HostState();
    HostState(const HostState&) = delete;
    HostState& operator=(const HostState&) = delete;

    // Called on any thread the plug-in uses, the audio thread included: no lock and no
    // allocation of its own (a listener or size handler does what it does).
    VstIntPtr answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                     float opt);

    // The record this state answers for; null until the entry point has returned it.
    const AEffect* effect() const { return effect_; }

    // Every call since the last clear, in order (see CallRecorder for what is kept).
    std::vector<HostCall> calls() const { return recorder_.calls(); }
    void clearCalls() { recorder_.clear(); }
    // Calls answered but not recorded since the last clear.
    std::uint64_t droppedCalls() const { return recorder_.dropped(); }
    // Called after each recorded call, on the calling thread. Replacing a handler is safe while
    // the plug-in calls back: replaced ones live until this state goes.
    void setListener(Listener listener);
    void setSizeWindowHandler(SizeWindowHandler handler);

    void setSampleRate(float rate) { sampleRate_.store(rate); }
    void setBlockSize(VstInt32 frames) { blockSize_.store(frames); }
    // Throws std::runtime_error for a bad tempo or signature (see checkTransport).
    void setTransport(const TransportSettings& settings);
    const TransportSettings& transport() const { return transport_; }
    // What the thread that processes is: kVstProcessLevelRealtime for live audio,
    // kVstProcessLevelOffline for rendering (then every thread of the host is offline);
    // unknown until set.
    void setProcessLevel(VstInt32 level) { processLevel_.store(level); }
    // Moves the transport to a frame position; the next block starts there.
    void locate(long long frame);
    long long position() const { return position_.load(std::memory_order_acquire); }

    // Bracket one process call on the processing thread; no allocation, no lock.
    void beginBlock();
    void endBlock(VstInt32 frames);
    // Resumed (the transport runs) or suspended.
    void setRunning(bool running);

private:
    friend class PluginHost;
    bool processingHere() const;
    VstTimeInfo* timeInfo();

    const AEffect* effect_ = nullptr; // set once the record is known
    std::size_t slot_ = 0;            // in the callback's lookup table, 0 for none
    CallRecorder recorder_;
    std::atomic<const Listener*> listener_{nullptr};
    std::atomic<const SizeWindowHandler*> sizeWindow_{nullptr};
    std::mutex handlersMutex_;
    std::vector<std::unique_ptr<Listener>> listeners_;
    std::vector<std::unique_ptr<SizeWindowHandler>> sizeWindows_;

    std::atomic<float> sampleRate_{44100.0f};
    std::atomic<VstInt32> blockSize_{512};
    std::atomic<VstInt32> processLevel_{kVstProcessLevelUnknown};
    TransportSettings transport_;
    std::atomic<long long> position_{0};
    std::atomic<bool> running_{false};
    // Owned by the processing thread: the block's record, filled on the first request.
    VstTimeInfo blockInfo_{};
    bool blockInfoFilled_ = false;
    bool transportChanged_ = false;
};

// How long loading took: the library (dlopen) and the entry point's call until it returned the
// effect record, in wall-clock and in the loading thread's CPU time.
struct LoadTiming {
    double libraryWallSeconds = 0.0;
    double entryWallSeconds = 0.0;
    double entryCpuSeconds = 0.0;
};

class ClapBridge;
class Vst3Bridge;
class Lv2Bridge;

// A loaded plug-in with its effect opened. Closing (effClose, then unloading the library)
// happens in the destructor. Calls into the effect are not serialised here: the caller
// decides which thread makes which call, as a host does.
class PluginHost {
public:
    // A `.clap` file is hosted through a ClapBridge presenting plug-in `pluginId` (its first
    // A `.clap` file is hosted through a ClapBridge presenting plug-in `pluginId` (its first
    // when empty) as an effect record, a VST3 module (see isVst3Path) through a Vst3Bridge
    // presenting the audio class `pluginId` names (its class id or name), an LV2 bundle folder
    // or plug-in URI through an Lv2Bridge (`pluginId` a plug-in URI of the bundle); everything
    // else as a VST 2.4 library, which takes no id. Throws LoadError.
    explicit PluginHost(const std::string& path, const std::string& pluginId = {});
    ~PluginHost();
    PluginHost(PluginHost&& other) noexcept;
    PluginHost& operator=(PluginHost&& other) noexcept;
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Closes the effect and unloads the library now; safe to call twice.
    void close();

    AEffect* effect() const { return effect_; }
    const std::string& path() const { return path_; }
    const LoadTiming& loadTiming() const { return timing_; }
    HostState& state() const { return *state_; }

    // Whether `path` names a CLAP plug-in (by its extension) and whether this build hosts them.
    static bool isClapPath(const std::string& path);
    static bool clapSupported();
    // For a CLAP plug-in: every plug-in of its file, the one hosted, and the bridge for checks
    // that go past the effect record; empty, -1 and null for a VST 2.4 plug-in.
    const std::vector<ClapDescriptor>& clapPlugins() const { return clapPlugins_; }
    int clapChosen() const { return clapChosen_; }
    ClapBridge* clapBridge() const { return clap_.get(); }

    // Whether `path` names a VST3 module: a `.vst3` bundle folder or file, or a file inside a
    // bundle; and whether this build hosts them.
    static bool isVst3Path(const std::string& path);
    static bool vst3Supported();
    // For a VST3 module: its audio classes, the one hosted, and the bridge; empty, -1 and null
    // otherwise.
    const std::vector<Vst3ClassInfo>& vst3Plugins() const { return vst3Plugins_; }
    int vst3Chosen() const { return vst3Chosen_; }
    Vst3Bridge* vst3Bridge() const { return vst3_.get(); }

    // Whether `path` names an LV2 plug-in (a bundle folder or a URI) and whether this build
    // hosts them.
    static bool isLv2Path(const std::string& path);
    static bool lv2Supported();
    // For an LV2 plug-in: every plug-in found (a bundle's, or the one URI), the one hosted, and
    // the bridge; empty, -1 and null otherwise.
    const std::vector<Lv2Descriptor>& lv2Plugins() const { return lv2Plugins_; }
    int lv2Chosen() const { return lv2Chosen_; }
    Lv2Bridge* lv2Bridge() const { return lv2_.get(); }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) const;

    std::string effectName() const;
    std::string vendorString() const;
    std::string productString() const;
    VstInt32 vendorVersion() const;
    VstInt32 numParams() const { return effect_->numParams; }
    VstInt32 numPrograms() const { return effect_->numPrograms; }

    std::string parameterName(VstInt32 index) const;
    std::string parameterLabel(VstInt32 index) const;
    std::string parameterDisplay(VstInt32 index) const;
    float getParameter(VstInt32 index) const;
    void setParameter(VstInt32 index, float value) const;
    // Case-insensitive, surrounding blanks ignored; -1 when no parameter has that name.
    VstInt32 findParameter(const std::string& name) const;

    // Asks by index first; plug-ins that cannot answer that way are switched to the
    // program and back, so the current program is unchanged afterwards.
    std::string programName(VstInt32 index) const;
    VstInt32 currentProgram() const;
    void setProgram(VstInt32 index) const;
    // Case-insensitive; -1 when no program has that name.
    VstInt32 findProgram(const std::string& name) const;

    // Tells the effect and the callback's answers about the stream format.
    void setSampleRate(float rate) const;
    void setBlockSize(VstInt32 frames) const;
    void resume() const;
    void suspend() const;

    // Replacing process when the effect offers it, else the accumulating one into the
    // (caller-cleared) outputs. Buffers: numInputs and numOutputs channels of frames each.
    // The transport advances by `frames`.
    void process(float** inputs, float** outputs, VstInt32 frames) const;

    // Brackets every process call, on the processing thread, when set; for probes that
    // watch what a plug-in does there. Null functions: nothing.
    struct ProcessWatch {
        void (*enter)() = nullptr;
        void (*leave)() = nullptr;
    };
    static void setProcessWatch(const ProcessWatch* watch);

    // Gives the calling thread the per-thread state the host callback keeps, so that its first
    // block allocates nothing: on Windows thread-local variables (emulated TLS) and the id of a
    // thread the thread library did not start are allocated on first use. Called on a new
    // audio thread before it processes.
    static void prepareThread();

private:
    std::string readText(VstInt32 opcode, VstInt32 index) const;
    void loadVst();
    void loadClap(const std::string& pluginId);
    void loadVst3(const std::string& pluginId);
    void loadLv2(const std::string& pluginUri);
    void adopt(AEffect* effect);
    void release() noexcept;

    std::string path_;
    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
    std::unique_ptr<HostState> state_;
    mutable bool resumed_ = false;
    LoadTiming timing_;
    std::unique_ptr<ClapBridge> clap_;
    std::vector<ClapDescriptor> clapPlugins_;
    int clapChosen_ = -1;
    std::unique_ptr<Vst3Bridge> vst3_;
    std::vector<Vst3ClassInfo> vst3Plugins_;
    int vst3Chosen_ = -1;
    std::unique_ptr<Lv2Bridge> lv2_;
    std::vector<Lv2Descriptor> lv2Plugins_;
    int lv2Chosen_ = -1;
};

// The callback handed to every plug-in; routes to the HostState of the calling effect
// without a lock (through the record's host-reserved field).
VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt);

// Printable name of a host callback opcode ("automate", "beginEdit", ...).
const char* hostOpcodeName(VstInt32 opcode);

// The unique ID as four characters, most significant byte first; '.' for unprintable bytes.
std::string fourCharacters(VstInt32 id);

// The set flag bits by name, e.g. "HasEditor CanReplacing".
std::string describeFlags(VstInt32 flags);

} // namespace gravelix::host

// Loads a plug-in library, hands it a host callback and owns the effect until closed.
#pragma once

#include "plugin/aeffect.h"

#include <atomic>
#include <cstdint>
#include <deque>
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
    enum class Kind { MissingFile, NotSharedLibrary, NoEntryPoint, NullEffect, BadMagic };
    LoadError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// One call the plug-in made into the host.
struct HostCall {
    VstInt32 opcode = 0;
    VstInt32 index = 0;
    VstIntPtr value = 0;
    float opt = 0.0f;
    std::thread::id thread;
};

// What the host callback sees and answers; shared by every thread that calls back.
// Heap-allocated so the callback's view of it survives moves of the owning PluginHost.
class HostState {
public:
    using Listener = std::function<void(const HostCall&)>;
    using SizeWindowHandler = std::function<bool(int width, int height)>;

    VstIntPtr answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                     float opt);

    // Every call so far (the oldest are dropped beyond a generous limit).
    std::vector<HostCall> calls() const;
    void clearCalls();
    // Called after each recorded call, on the calling thread.
    void setListener(Listener listener);
    void setSizeWindowHandler(SizeWindowHandler handler);

    void setSampleRate(float rate) { sampleRate_.store(rate); }
    void setBlockSize(VstInt32 frames) { blockSize_.store(frames); }

private:
    mutable std::mutex mutex_;
    std::deque<HostCall> calls_;
    Listener listener_;
    SizeWindowHandler sizeWindow_;
    std::atomic<float> sampleRate_{44100.0f};
    std::atomic<VstInt32> blockSize_{512};
};

// How long loading took: the library (dlopen) and the entry point's call until it returned the
// effect record, in wall-clock and in the loading thread's CPU time.
struct LoadTiming {
    double libraryWallSeconds = 0.0;
    double entryWallSeconds = 0.0;
    double entryCpuSeconds = 0.0;
};

// A loaded plug-in with its effect opened. Closing (effClose, then unloading the library)
// happens in the destructor. Calls into the effect are not serialised here: the caller
// decides which thread makes which call, as a host does.
class PluginHost {
public:
    // Throws LoadError.
    explicit PluginHost(const std::string& path);
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
    void process(float** inputs, float** outputs, VstInt32 frames) const;

private:
    std::string readText(VstInt32 opcode, VstInt32 index) const;
    void release() noexcept;

    std::string path_;
    void* library_ = nullptr;
    AEffect* effect_ = nullptr;
    std::unique_ptr<HostState> state_;
    mutable bool resumed_ = false;
    LoadTiming timing_;
};

// The callback handed to every plug-in; routes to the HostState of the calling effect.
VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt);

// Printable name of a host callback opcode ("automate", "beginEdit", ...).
const char* hostOpcodeName(VstInt32 opcode);

// The unique ID as four characters, most significant byte first; '.' for unprintable bytes.
std::string fourCharacters(VstInt32 id);

// The set flag bits by name, e.g. "HasEditor CanReplacing".
std::string describeFlags(VstInt32 flags);

} // namespace gravelix::host

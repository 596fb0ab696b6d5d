// A small CLAP host for the tests: a library loaded through the tests' plug-in loader with its
// entry initialised, and one instance of its plug-in with a host record that answers the
// extensions a pedal asks for and records every call it makes back.
#pragma once

#include "clapextensions.h"
#include "pluginlibrary.h"

#include <clap/entry.h>
#include <clap/events.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>
#include <clap/host.h>
#include <clap/plugin-factory.h>
#include <clap/plugin.h>
#include <clap/process.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ClapLibrary {
public:
    // Loads the library and initialises its entry with the library's path.
    explicit ClapLibrary(const std::string& path);
    ~ClapLibrary();
    ClapLibrary(const ClapLibrary&) = delete;
    ClapLibrary& operator=(const ClapLibrary&) = delete;

    // Loaded, with an entry that initialised.
    bool loaded() const { return initialised; }
    const std::string& error() const { return why; }
    const clap_plugin_entry_t* entry() const { return entry_; }
    const void* factory(const char* id) const;
    const clap_plugin_factory_t* pluginFactory() const;
    // The first descriptor's id; empty without one.
    std::string pluginId() const;

private:
    PluginLibrary library;
    const clap_plugin_entry_t* entry_ = nullptr;
    bool initialised = false;
    std::string why;
};

// A parameter change as the host sends it, at a frame of the block.
struct ParamChange {
    std::uint32_t time;
    clap_id id;
    double value;
};

// An event the plug-in pushed, reduced to what the tests read.
struct OutEvent {
    std::uint16_t type;
    std::uint32_t time;
    clap_id id;
    double value; // PARAM_VALUE only
};

class ClapInstance {
public:
    // Creates and initialises the library's first plug-in with this host; plugin() is null when
    // either failed. The constructing thread is the main thread until setMainThread.
    explicit ClapInstance(ClapLibrary& library);
    ~ClapInstance();
    ClapInstance(const ClapInstance&) = delete;
    ClapInstance& operator=(const ClapInstance&) = delete;

    const clap_plugin_t* plugin() const { return plugin_; }
    template <class T> const T* extension(const char* id) const {
        return plugin_ ? static_cast<const T*>(plugin_->get_extension(plugin_, id)) : nullptr;
    }
    const clap_plugin_params_t* params() const {
        return extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    }
    const clap_plugin_gui_t* gui() const { return extension<clap_plugin_gui_t>(CLAP_EXT_GUI); }

    void setMainThread(std::thread::id id) { mainThread = id; }

    // Activation as a host does it: activate, then start processing; deactivation the reverse.
    bool activate(double rate, std::uint32_t maxFrames = 4096);
    void deactivate();
    bool active() const { return active_; }

    // One process call over separate input and output buffers (in place when they are the
    // same) with these changes as its input events, sorted by time; answers the events the
    // plug-in pushed.
    std::vector<OutEvent> process(const float* inL, const float* inR, float* outL, float* outR,
                                  std::uint32_t frames,
                                  const std::vector<ParamChange>& changes = {});
    std::vector<OutEvent> flush(const std::vector<ParamChange>& changes = {});

    // The state through streams that move at most `chunk` bytes per call.
    std::optional<std::vector<std::uint8_t>>
    save(std::size_t chunk = std::numeric_limits<std::size_t>::max());
    bool load(const std::vector<std::uint8_t>& bytes,
              std::size_t chunk = std::numeric_limits<std::size_t>::max());
    // A factory program through the preset-load extension.
    bool loadPreset(const char* key);

    std::optional<double> value(clap_id id) const;
    std::uint32_t latency() const;

    // What the plug-in asked of the host. Callbacks may come from any thread.
    struct Calls {
        int requestFlush = 0;
        int requestRestart = 0;
        int requestProcess = 0;
        int requestCallback = 0;
        int markDirty = 0;
        std::vector<std::uint32_t> rescans;
        // latency.changed, and how many of those came outside activate or while active.
        int latencyChanged = 0;
        int latencyChangedOutsideActivate = 0;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> resizeRequests;
        // Host calls the plug-in made from a thread other than the main thread that must be.
        int offMainThread = 0;
        std::vector<std::string> log;
    };
    Calls calls() const;
    void clearCalls();

    // Timers the plug-in holds now, by id, with their period. Ids start at 0.
    std::map<clap_id, std::uint32_t> timers() const;
    int timersEverRegistered() const;
    void fireTimers();
    bool resizeAnswer = true;

private:
    static ClapInstance& from(const clap_host_t* host);
    static const void* hostExtension(const clap_host_t* host, const char* id);
    void noteThread(bool mustBeMain);

    clap_host_t host_{};
    const clap_plugin_t* plugin_ = nullptr;
    std::thread::id mainThread = std::this_thread::get_id();
    bool active_ = false;
    bool activating = false;

    mutable std::mutex mutex_;
    Calls calls_;
    std::map<clap_id, std::uint32_t> timers_;
    clap_id nextTimer = 0;
};

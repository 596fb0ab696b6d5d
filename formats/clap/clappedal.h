// One pedal instance as a CLAP plug-in: the pedal core behind CLAP's plug-in record and the
// extensions an effect needs (audio ports, parameters, state, latency, presets, editor).
#pragma once

#include <clap/events.h>
#include <clap/ext/audio-ports.h>
#include <clap/ext/gui.h>
#include <clap/ext/latency.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/thread-check.h>
#include <clap/ext/timer-support.h>
#include <clap/plugin.h>

#include <array>
#include <cstdint>
#include <memory>

#include "clapextensions.h"
#include "editoreventqueue.h"
#include "pedalcore.h"

class ClapEditor;

class ClapPedal {
public:
    static const clap_plugin_descriptor_t descriptor;
    // The descriptor's id, also the preset provider's and the presets' plug-in id. A constant:
    // other files' static records read it before any dynamic initialisation.
    static constexpr const char* kId = kPedalId;

    explicit ClapPedal(const clap_host_t* host);
    ~ClapPedal();
    ClapPedal(const ClapPedal&) = delete;
    ClapPedal& operator=(const ClapPedal&) = delete;

    const clap_plugin_t* plugin() const { return &clapPlugin; }
    static ClapPedal* from(const clap_plugin_t* plugin);

    // The value CLAP shows for a parameter: its normalised value, the footswitch inverted into
    // the bypass (1 = bypassed).
    static double toClap(std::int32_t index, float value);
    static float fromClap(std::int32_t index, double value);

    // The load key the preset provider lists for a factory program, and the program a key names
    // (-1 for any other text).
    using PresetKey = std::array<char, 12>;
    static PresetKey presetKey(std::int32_t program);
    static std::int32_t programOfKey(const char* key);

    // Main thread. Factory program 0 to 3 with its factory values, as the host's preset list
    // loads it.
    bool loadProgram(std::int32_t program);

    // What the editor does to the pedal (main thread): the change is the pedal's at once and the
    // host hears of it through the next process or flush.
    void editorBegin(std::int32_t index);
    void editorPerform(std::int32_t index, float value);
    void editorEnd(std::int32_t index);

    PedalCore& core() { return pedal; }
    // Null when it could not be made.
    ClapEditor* editorOf() const { return editor.get(); }
    const clap_host_t* host() const { return clapHost; }
    // The host's extensions; null where it has none.
    const clap_host_gui_t* hostGui() const { return hostGuiExt; }
    const clap_host_timer_support_t* hostTimers() const { return hostTimerExt; }
    const clap_host_posix_fd_support_t* hostFds() const { return hostFdExt; }

private:
    bool init();
    bool activate(double rate, std::uint32_t minFrames, std::uint32_t maxFrames);
    void reset();
    clap_process_status process(const clap_process_t* process);
    const void* extension(const char* id) const;

    bool paramInfo(std::uint32_t index, clap_param_info_t* info) const;
    bool paramValue(clap_id id, double* value) const;
    bool valueToText(clap_id id, double value, char* text, std::uint32_t size) const;
    bool textToValue(clap_id id, const char* text, double* value) const;
    void flush(const clap_input_events_t* in, const clap_output_events_t* out);

    bool save(const clap_ostream_t* stream) const;
    bool load(const clap_istream_t* stream);

    // Applies one input event; audio thread or flush.
    void apply(const clap_event_header_t* event);
    void sendEditorEvents(const clap_output_events_t* out);
    // After the main thread changed all values (state, preset): the editor and host catch up.
    void allValuesChanged();
    void requestFlush() const;

    clap_plugin_t clapPlugin;
    const clap_host_t* clapHost;
    const clap_host_params_t* hostParamsExt = nullptr;
    const clap_host_latency_t* hostLatencyExt = nullptr;
    const clap_host_gui_t* hostGuiExt = nullptr;
    const clap_host_timer_support_t* hostTimerExt = nullptr;
    const clap_host_posix_fd_support_t* hostFdExt = nullptr;
    const clap_host_state_t* hostStateExt = nullptr;

    PedalCore pedal;
    std::unique_ptr<ClapEditor> editor;
    EditorEventQueue editorEvents;
    // The latency the host last read; a change on activation is announced there.
    std::int32_t reportedLatency = 0;
};

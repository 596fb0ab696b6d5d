#include "clappedal.h"

#include <clap/plugin-features.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "clapeditor.h"
#include "gravelixversion.h"

namespace {

// Not const: the 1.1 headers declare the list without it.
const char* kFeatures[] = {CLAP_PLUGIN_FEATURE_AUDIO_EFFECT, CLAP_PLUGIN_FEATURE_DISTORTION,
                           CLAP_PLUGIN_FEATURE_STEREO, nullptr};

constexpr clap_id kPortId = 0;

bool validId(clap_id id) {
    return id < static_cast<clap_id>(kParameterCount);
}

float clamped(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

template <class T> const T* hostExtension(const clap_host_t* host, const char* id) {
    return host && host->get_extension ? static_cast<const T*>(host->get_extension(host, id))
                                       : nullptr;
}

} // namespace

const clap_plugin_descriptor_t ClapPedal::descriptor = {
    CLAP_VERSION_INIT,
    kPedalId,
    kPedalProduct,
    "Keldwyn",
    "", // url
    "", // manual url
    "", // support url
    GRAVELIX_VERSION,
    kPedalDescription,
    kFeatures,
};

ClapPedal* ClapPedal::from(const clap_plugin_t* plugin) {
    return static_cast<ClapPedal*>(plugin->plugin_data);
}

ClapPedal::ClapPedal(const clap_host_t* host) : clapHost(host) {
    clapPlugin.desc = &descriptor;
    clapPlugin.plugin_data = this;
    clapPlugin.init = [](const clap_plugin_t* p) { return from(p)->init(); };
    clapPlugin.destroy = [](const clap_plugin_t* p) { delete from(p); };
    clapPlugin.activate = [](const clap_plugin_t* p, double rate, std::uint32_t minFrames,
                             std::uint32_t maxFrames) {
        return from(p)->activate(rate, minFrames, maxFrames);
    };
    // Nothing to let go: the pedal keeps no resources per activation.
    clapPlugin.deactivate = [](const clap_plugin_t*) {};
    clapPlugin.start_processing = [](const clap_plugin_t*) { return true; };
    clapPlugin.stop_processing = [](const clap_plugin_t*) {};
    clapPlugin.reset = [](const clap_plugin_t* p) { from(p)->reset(); };
    clapPlugin.process = [](const clap_plugin_t* p, const clap_process_t* process) {
        return from(p)->process(process);
    };
    clapPlugin.get_extension = [](const clap_plugin_t* p, const char* id) {
        return from(p)->extension(id);
    };
    clapPlugin.on_main_thread = [](const clap_plugin_t*) {};
}

ClapPedal::~ClapPedal() = default;

bool ClapPedal::init() {
    hostParamsExt = hostExtension<clap_host_params_t>(clapHost, CLAP_EXT_PARAMS);
    hostLatencyExt = hostExtension<clap_host_latency_t>(clapHost, CLAP_EXT_LATENCY);
    hostGuiExt = hostExtension<clap_host_gui_t>(clapHost, CLAP_EXT_GUI);
    hostTimerExt = hostExtension<clap_host_timer_support_t>(clapHost, CLAP_EXT_TIMER_SUPPORT);
    hostFdExt = hostExtension<clap_host_posix_fd_support_t>(clapHost, CLAP_EXT_POSIX_FD_SUPPORT);
    hostStateExt = hostExtension<clap_host_state_t>(clapHost, CLAP_EXT_STATE);
    // Made with the instance, as the VST 2.4 effect makes its editor: the panels are ready when
    // the host opens it, and the audio thread can always tell it of changes.
    try {
        editor = std::make_unique<ClapEditor>(*this);
    } catch (...) {
        editor.reset();
    }
    reportedLatency = pedal.latencyFrames();
    return true;
}

bool ClapPedal::activate(double rate, std::uint32_t, std::uint32_t) {
    if (!std::isfinite(rate) || !(rate > 0.0)) {
        return false;
    }
    pedal.setSampleRate(static_cast<float>(rate));
    pedal.reset();
    // The one moment a latency may change; the host reads it again.
    if (pedal.latencyFrames() != reportedLatency) {
        reportedLatency = pedal.latencyFrames();
        if (hostLatencyExt && hostLatencyExt->changed) {
            hostLatencyExt->changed(clapHost);
        }
    }
    return true;
}

void ClapPedal::reset() {
    pedal.reset();
}

void ClapPedal::apply(const clap_event_header_t* event) {
    if (event->space_id != CLAP_CORE_EVENT_SPACE_ID || event->type != CLAP_EVENT_PARAM_VALUE) {
        return;
    }
    const auto* e = reinterpret_cast<const clap_event_param_value_t*>(event);
    if (!validId(e->param_id) || !std::isfinite(e->value)) {
        return;
    }
    const auto index = static_cast<std::int32_t>(e->param_id);
    const float v = fromClap(index, e->value);
    if (editor) {
        editor->parameterChanged(index, v);
    }
    pedal.set(index, v);
}

clap_process_status ClapPedal::process(const clap_process_t* p) {
    // Audio thread; real time: no allocation, locks or host calls but the event lists'.
    const std::uint32_t frames = p->frames_count;
    const clap_input_events_t* in = p->in_events;
    const std::uint32_t eventCount = in ? in->size(in) : 0;
    const bool haveOutputs = p->audio_outputs_count > 0 && p->audio_outputs[0].channel_count >= 2 &&
                             p->audio_outputs[0].data32 != nullptr;
    float* outL = haveOutputs ? p->audio_outputs[0].data32[0] : nullptr;
    float* outR = haveOutputs ? p->audio_outputs[0].data32[1] : nullptr;
    const float* inL = outL;
    const float* inR = outR;
    if (haveOutputs) {
        if (p->audio_inputs_count > 0 && p->audio_inputs[0].data32 != nullptr &&
            p->audio_inputs[0].channel_count >= 2) {
            inL = p->audio_inputs[0].data32[0];
            inR = p->audio_inputs[0].data32[1];
        } else {
            // No input: the pedal hears silence, in place.
            std::fill(outL, outL + frames, 0.0f);
            std::fill(outR, outR + frames, 0.0f);
        }
    }

    // Each change lands at its own frame: the block is split there.
    std::uint32_t done = 0;
    for (std::uint32_t i = 0; i < eventCount; ++i) {
        const clap_event_header_t* event = in->get(in, i);
        if (!event) {
            continue;
        }
        const std::uint32_t at = std::min(event->time, frames);
        if (at > done && haveOutputs) {
            pedal.process(inL + done, inR + done, outL + done, outR + done,
                          static_cast<std::int32_t>(at - done));
            done = at;
        }
        apply(event);
    }
    if (frames > done && haveOutputs) {
        pedal.process(inL + done, inR + done, outL + done, outR + done,
                      static_cast<std::int32_t>(frames - done));
    }
    sendEditorEvents(p->out_events);
    return CLAP_PROCESS_CONTINUE;
}

void ClapPedal::flush(const clap_input_events_t* in, const clap_output_events_t* out) {
    const std::uint32_t count = in ? in->size(in) : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (const clap_event_header_t* event = in->get(in, i)) {
            apply(event);
        }
    }
    sendEditorEvents(out);
}

void ClapPedal::sendEditorEvents(const clap_output_events_t* out) {
    EditorEvent e;
    while (editorEvents.pop(e)) {
        if (!out || !out->try_push) {
            continue;
        }
        if (e.kind == EditorEvent::Kind::value) {
            clap_event_param_value_t v{};
            v.header = {sizeof v, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
            v.param_id = static_cast<clap_id>(e.index);
            v.note_id = -1;
            v.port_index = -1;
            v.channel = -1;
            v.key = -1;
            v.value = toClap(e.index, e.value);
            out->try_push(out, &v.header);
        } else {
            clap_event_param_gesture_t g{};
            g.header = {sizeof g, 0, CLAP_CORE_EVENT_SPACE_ID,
                        static_cast<std::uint16_t>(e.kind == EditorEvent::Kind::begin
                                                       ? CLAP_EVENT_PARAM_GESTURE_BEGIN
                                                       : CLAP_EVENT_PARAM_GESTURE_END),
                        0};
            g.param_id = static_cast<clap_id>(e.index);
            out->try_push(out, &g.header);
        }
    }
}

double ClapPedal::toClap(std::int32_t index, float value) {
    return index == kBypassParameter ? 1.0 - static_cast<double>(value)
                                     : static_cast<double>(value);
}

float ClapPedal::fromClap(std::int32_t index, double value) {
    float v = clamped(static_cast<float>(value));
    if (isSwitch(parameterInfo(index))) {
        v = v >= 0.5f ? 1.0f : 0.0f;
    }
    return index == kBypassParameter ? 1.0f - v : v;
}

bool ClapPedal::paramInfo(std::uint32_t index, clap_param_info_t* info) const {
    if (!info || index >= static_cast<std::uint32_t>(kParameterCount)) {
        return false;
    }
    const ParameterInfo& row = parameterInfo(static_cast<std::int32_t>(index));
    *info = {};
    info->id = static_cast<clap_id>(row.index);
    info->flags = CLAP_PARAM_IS_AUTOMATABLE;
    if (isSwitch(row)) {
        info->flags |= CLAP_PARAM_IS_STEPPED;
    }
    if (row.index == kBypassParameter) {
        info->flags |= CLAP_PARAM_IS_BYPASS;
    }
    std::snprintf(info->name, sizeof info->name, "%s", row.name);
    // The editor's two faces, as the player finds them.
    const bool front = row.index == kOutput || row.index == kDistortion || row.index == kEffect;
    std::snprintf(info->module, sizeof info->module, "%s", front ? "Front" : "Back");
    info->min_value = 0.0;
    info->max_value = 1.0;
    info->default_value = toClap(row.index, defaultValue(row));
    return true;
}

bool ClapPedal::paramValue(clap_id id, double* value) const {
    if (!value || !validId(id)) {
        return false;
    }
    const auto index = static_cast<std::int32_t>(id);
    float v = pedal.value(index);
    if (isSwitch(parameterInfo(index))) {
        v = pedal.answer(index);
    }
    *value = toClap(index, v);
    return true;
}

bool ClapPedal::valueToText(clap_id id, double value, char* text, std::uint32_t size) const {
    if (!text || size == 0 || !validId(id) || !std::isfinite(value)) {
        return false;
    }
    const auto index = static_cast<std::int32_t>(id);
    char shown[PedalCore::kTextChars + 1] = {};
    PedalCore::displayText(index, fromClap(index, value), shown);
    std::snprintf(text, size, "%s", shown);
    return true;
}

bool ClapPedal::textToValue(clap_id id, const char* text, double* value) const {
    if (!text || !value || !validId(id)) {
        return false;
    }
    const auto index = static_cast<std::int32_t>(id);
    const std::optional<float> v = PedalCore::valueFromText(index, text);
    if (!v) {
        return false;
    }
    *value = toClap(index, *v);
    return true;
}

bool ClapPedal::save(const clap_ostream_t* stream) const {
    if (!stream || !stream->write) {
        return false;
    }
    const PedalState::Bytes bytes = pedal.state().encode();
    std::size_t written = 0;
    // Hosts may take a stream in pieces.
    while (written < bytes.size()) {
        const std::int64_t n =
            stream->write(stream, bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    return true;
}

bool ClapPedal::load(const clap_istream_t* stream) {
    if (!stream || !stream->read) {
        return false;
    }
    // One byte more than a state holds tells a longer (newer or damaged) stream.
    std::uint8_t bytes[PedalState::kBytes + 1];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const std::int64_t n = stream->read(stream, bytes + got, sizeof bytes - got);
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    const std::optional<PedalState> state = PedalState::decode(bytes, got);
    if (!state) {
        return false;
    }
    pedal.restore(*state);
    allValuesChanged();
    return true;
}

ClapPedal::PresetKey ClapPedal::presetKey(std::int32_t program) {
    PresetKey key{};
    std::snprintf(key.data(), key.size(), "%d", static_cast<int>(program));
    return key;
}

std::int32_t ClapPedal::programOfKey(const char* key) {
    // Only the very keys the provider lists: a host hands back what it was given, and other
    // spellings (" 1", "01", a number past the int range) must not load some program.
    for (std::int32_t program = 0; program < PedalCore::kNumPrograms; ++program) {
        if (std::strcmp(key, presetKey(program).data()) == 0) {
            return program;
        }
    }
    return -1;
}

bool ClapPedal::loadProgram(std::int32_t program) {
    if (program < 0 || program >= PedalCore::kNumPrograms) {
        return false;
    }
    // A host lists these as factory content: edits kept in the program's record since it was
    // last loaded must not come back with it.
    pedal.programs[static_cast<std::size_t>(program)] = kFactoryPrograms[program];
    pedal.applyProgram(program);
    allValuesChanged();
    if (hostStateExt && hostStateExt->mark_dirty) {
        hostStateExt->mark_dirty(clapHost);
    }
    return true;
}

void ClapPedal::allValuesChanged() {
    if (editor) {
        for (std::int32_t i = 0; i < kParameterCount; ++i) {
            editor->parameterChanged(i, pedal.value(i));
        }
    }
    if (hostParamsExt && hostParamsExt->rescan) {
        hostParamsExt->rescan(clapHost, CLAP_PARAM_RESCAN_VALUES);
    }
}

void ClapPedal::editorBegin(std::int32_t index) {
    editorEvents.push({EditorEvent::Kind::begin, index, 0.0f});
    requestFlush();
}

void ClapPedal::editorPerform(std::int32_t index, float value) {
    const float v = clamped(value);
    if (editor) {
        editor->parameterChanged(index, v);
    }
    pedal.set(index, v);
    editorEvents.push({EditorEvent::Kind::value, index, v});
    requestFlush();
}

void ClapPedal::editorEnd(std::int32_t index) {
    editorEvents.push({EditorEvent::Kind::end, index, 0.0f});
    requestFlush();
}

void ClapPedal::requestFlush() const {
    if (hostParamsExt && hostParamsExt->request_flush) {
        hostParamsExt->request_flush(clapHost);
    }
}

const void* ClapPedal::extension(const char* id) const {
    static const clap_plugin_audio_ports_t ports = {
        [](const clap_plugin_t*, bool) -> std::uint32_t { return 1; },
        [](const clap_plugin_t*, std::uint32_t index, bool isInput, clap_audio_port_info_t* info) {
            if (index != 0 || !info) {
                return false;
            }
            *info = {};
            info->id = kPortId;
            std::snprintf(info->name, sizeof info->name, "%s", isInput ? "Input" : "Output");
            info->flags = CLAP_AUDIO_PORT_IS_MAIN;
            info->channel_count = 2;
            info->port_type = CLAP_PORT_STEREO;
            info->in_place_pair = kPortId;
            return true;
        },
    };
    static const clap_plugin_params_t params = {
        [](const clap_plugin_t*) -> std::uint32_t { return kParameterCount; },
        [](const clap_plugin_t* p, std::uint32_t index, clap_param_info_t* info) {
            return from(p)->paramInfo(index, info);
        },
        [](const clap_plugin_t* p, clap_id id, double* value) {
            return from(p)->paramValue(id, value);
        },
        [](const clap_plugin_t* p, clap_id id, double value, char* text, std::uint32_t size) {
            return from(p)->valueToText(id, value, text, size);
        },
        [](const clap_plugin_t* p, clap_id id, const char* text, double* value) {
            return from(p)->textToValue(id, text, value);
        },
        [](const clap_plugin_t* p, const clap_input_events_t* in, const clap_output_events_t* out) {
            from(p)->flush(in, out);
        },
    };
    static const clap_plugin_state_t state = {
        [](const clap_plugin_t* p, const clap_ostream_t* s) { return from(p)->save(s); },
        [](const clap_plugin_t* p, const clap_istream_t* s) { return from(p)->load(s); },
    };
    static const clap_plugin_latency_t latency = {
        [](const clap_plugin_t* p) -> std::uint32_t {
            return static_cast<std::uint32_t>(from(p)->pedal.latencyFrames());
        },
    };
    static const clap_plugin_preset_load_t presetLoad = {
        [](const clap_plugin_t* p, std::uint32_t kind, const char*, const char* key) {
            if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || !key) {
                return false;
            }
            const std::int32_t program = programOfKey(key);
            return program >= 0 && from(p)->loadProgram(program);
        },
    };
    if (!id) {
        return nullptr;
    }
    const std::string_view name(id);
    if (name == CLAP_EXT_AUDIO_PORTS) {
        return &ports;
    }
    if (name == CLAP_EXT_PARAMS) {
        return &params;
    }
    if (name == CLAP_EXT_STATE) {
        return &state;
    }
    if (name == CLAP_EXT_LATENCY) {
        return &latency;
    }
    if (name == CLAP_EXT_PRESET_LOAD || name == CLAP_EXT_PRESET_LOAD_COMPAT) {
        return &presetLoad;
    }
    if (editor) {
        return editor->extension(id);
    }
    return nullptr;
}

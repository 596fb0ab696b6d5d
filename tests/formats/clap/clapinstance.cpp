#include "clapinstance.h"

#include <algorithm>
#include <cstring>

namespace {

struct InputList {
    std::vector<clap_event_param_value_t> events;
    clap_input_events_t record{};

    explicit InputList(std::vector<ParamChange> changes) {
        std::stable_sort(
            changes.begin(), changes.end(),
            [](const ParamChange& a, const ParamChange& b) { return a.time < b.time; });
        for (const ParamChange& c : changes) {
            clap_event_param_value_t e{};
            e.header = {sizeof e, c.time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
            e.param_id = c.id;
            e.note_id = -1;
            e.port_index = -1;
            e.channel = -1;
            e.key = -1;
            e.value = c.value;
            events.push_back(e);
        }
        record.ctx = this;
        record.size = [](const clap_input_events_t* list) {
            return static_cast<std::uint32_t>(static_cast<InputList*>(list->ctx)->events.size());
        };
        record.get = [](const clap_input_events_t* list,
                        std::uint32_t i) -> const clap_event_header_t* {
            auto& events = static_cast<InputList*>(list->ctx)->events;
            return i < events.size() ? &events[i].header : nullptr;
        };
    }
};

struct OutputList {
    std::vector<OutEvent> events;
    clap_output_events_t record{};

    OutputList() {
        record.ctx = this;
        record.try_push = [](const clap_output_events_t* list, const clap_event_header_t* e) {
            OutEvent out{e->type, e->time, CLAP_INVALID_ID, 0.0};
            if (e->space_id == CLAP_CORE_EVENT_SPACE_ID && e->type == CLAP_EVENT_PARAM_VALUE) {
                const auto* v = reinterpret_cast<const clap_event_param_value_t*>(e);
                out.id = v->param_id;
                out.value = v->value;
            } else if (e->space_id == CLAP_CORE_EVENT_SPACE_ID &&
                       (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN ||
                        e->type == CLAP_EVENT_PARAM_GESTURE_END)) {
                out.id = reinterpret_cast<const clap_event_param_gesture_t*>(e)->param_id;
            }
            static_cast<OutputList*>(list->ctx)->events.push_back(out);
            return true;
        };
    }
};

// A stream over a byte vector that moves at most `chunk` bytes per call.
struct Stream {
    std::vector<std::uint8_t> bytes;
    std::size_t chunk;
    std::size_t at = 0;
};

} // namespace

// ---- ClapLibrary --------------------------------------------------------------------------

ClapLibrary::ClapLibrary(const std::string& path) : library(path) {
    if (!library.loaded()) {
        why = library.error();
        return;
    }
    // The entry is data, not a function: the loader hands over its address.
    entry_ = reinterpret_cast<const clap_plugin_entry_t*>(library.entry("clap_entry"));
    if (!entry_) {
        why = "no clap_entry in " + path;
        return;
    }
    if (!clap_version_is_compatible(entry_->clap_version) || !entry_->init(path.c_str())) {
        why = "clap_entry did not initialise";
        return;
    }
    initialised = true;
}

ClapLibrary::~ClapLibrary() {
    if (initialised) {
        entry_->deinit();
    }
}

const void* ClapLibrary::factory(const char* id) const {
    return initialised ? entry_->get_factory(id) : nullptr;
}

const clap_plugin_factory_t* ClapLibrary::pluginFactory() const {
    return static_cast<const clap_plugin_factory_t*>(factory(CLAP_PLUGIN_FACTORY_ID));
}

std::string ClapLibrary::pluginId() const {
    const clap_plugin_factory_t* f = pluginFactory();
    if (!f || f->get_plugin_count(f) == 0) {
        return {};
    }
    const clap_plugin_descriptor_t* d = f->get_plugin_descriptor(f, 0);
    return d && d->id ? d->id : "";
}

// ---- ClapInstance: the host record --------------------------------------------------------

ClapInstance& ClapInstance::from(const clap_host_t* host) {
    return *static_cast<ClapInstance*>(host->host_data);
}

void ClapInstance::noteThread(bool mustBeMain) {
    if (mustBeMain && std::this_thread::get_id() != mainThread) {
        ++calls_.offMainThread;
    }
}

const void* ClapInstance::hostExtension(const clap_host_t*, const char* id) {
    static const clap_host_params_t params = {
        [](const clap_host_t* h, clap_param_rescan_flags flags) {
            ClapInstance& self = from(h);
            std::lock_guard lock(self.mutex_);
            self.noteThread(true);
            self.calls_.rescans.push_back(flags);
        },
        [](const clap_host_t*, clap_id, clap_param_clear_flags) {},
        [](const clap_host_t* h) {
            ClapInstance& self = from(h);
            std::lock_guard lock(self.mutex_);
            ++self.calls_.requestFlush;
        },
    };
    static const clap_host_latency_t latency = {
        [](const clap_host_t* h) {
            ClapInstance& self = from(h);
            std::lock_guard lock(self.mutex_);
            self.noteThread(true);
            ++self.calls_.latencyChanged;
            // The host reads the latency again only while it activates.
            if (!self.activating || self.active_) {
                ++self.calls_.latencyChangedOutsideActivate;
            }
        },
    };
    static const clap_host_gui_t gui = {
        [](const clap_host_t*) {},
        [](const clap_host_t* h, std::uint32_t w, std::uint32_t height) {
            ClapInstance& self = from(h);
            std::lock_guard lock(self.mutex_);
            self.calls_.resizeRequests.emplace_back(w, height);
            return self.resizeAnswer;
        },
        [](const clap_host_t*) { return false; },
        [](const clap_host_t*) { return false; },
        [](const clap_host_t*, bool) {},
    };
    static const clap_host_timer_support_t timers = {
        [](const clap_host_t* h, std::uint32_t period, clap_id* timer) {
            ClapInstance& self = from(h);
            std::lock_guard lock(self.mutex_);
            self.noteThread(true);
            if (!timer) {
                return false;
            }
            *timer = self.nextTimer++;
            self.timers_[*timer] = period;
            return true;
        },
        [](const clap_host_t* h, clap_id timer) {
            ClapInstance& self = from(h);
            std::lock_guard lock(self.mutex_);
            self.noteThread(true);
            return self.timers_.erase(timer) == 1;
        },
    };
    static const clap_host_state_t state = {
        [](const clap_host_t* h) {
            ClapInstance& self = from(h);
            std::lock_guard lock(self.mutex_);
            self.noteThread(true);
            ++self.calls_.markDirty;
        },
    };
    static const clap_host_log_t log = {
        [](const clap_host_t* h, clap_log_severity severity, const char* message) {
            ClapInstance& self = from(h);
            std::lock_guard lock(self.mutex_);
            self.calls_.log.push_back(std::to_string(severity) + ": " + (message ? message : ""));
        },
    };
    static const clap_host_thread_check_t threads = {
        [](const clap_host_t* h) { return std::this_thread::get_id() == from(h).mainThread; },
        [](const clap_host_t* h) { return std::this_thread::get_id() != from(h).mainThread; },
    };
    if (!id) {
        return nullptr;
    }
    const std::string name(id);
    if (name == CLAP_EXT_PARAMS) {
        return &params;
    }
    if (name == CLAP_EXT_LATENCY) {
        return &latency;
    }
    if (name == CLAP_EXT_GUI) {
        return &gui;
    }
    if (name == CLAP_EXT_TIMER_SUPPORT) {
        return &timers;
    }
    if (name == CLAP_EXT_STATE) {
        return &state;
    }
    if (name == CLAP_EXT_LOG) {
        return &log;
    }
    if (name == CLAP_EXT_THREAD_CHECK) {
        return &threads;
    }
    return nullptr;
}

ClapInstance::ClapInstance(ClapLibrary& library) {
    host_.clap_version = CLAP_VERSION;
    host_.host_data = this;
    host_.name = "Gravelix CLAP tests";
    host_.vendor = "Keldwyn";
    host_.url = "";
    host_.version = "1";
    host_.get_extension = hostExtension;
    host_.request_restart = [](const clap_host_t* h) {
        std::lock_guard lock(from(h).mutex_);
        ++from(h).calls_.requestRestart;
    };
    host_.request_process = [](const clap_host_t* h) {
        std::lock_guard lock(from(h).mutex_);
        ++from(h).calls_.requestProcess;
    };
    host_.request_callback = [](const clap_host_t* h) {
        std::lock_guard lock(from(h).mutex_);
        ++from(h).calls_.requestCallback;
    };

    const clap_plugin_factory_t* factory = library.pluginFactory();
    const std::string id = library.pluginId();
    if (!factory || id.empty()) {
        return;
    }
    const clap_plugin_t* made = factory->create_plugin(factory, &host_, id.c_str());
    if (made && !made->init(made)) {
        made->destroy(made);
        made = nullptr;
    }
    plugin_ = made;
}

ClapInstance::~ClapInstance() {
    if (!plugin_) {
        return;
    }
    deactivate();
    plugin_->destroy(plugin_);
}

bool ClapInstance::activate(double rate, std::uint32_t maxFrames) {
    if (!plugin_ || active_) {
        return false;
    }
    {
        std::lock_guard lock(mutex_);
        activating = true;
    }
    const bool ok = plugin_->activate(plugin_, rate, 1, maxFrames);
    {
        std::lock_guard lock(mutex_);
        activating = false;
        active_ = ok;
    }
    if (ok && !plugin_->start_processing(plugin_)) {
        plugin_->deactivate(plugin_);
        active_ = false;
    }
    return active_;
}

void ClapInstance::deactivate() {
    if (!plugin_ || !active_) {
        return;
    }
    plugin_->stop_processing(plugin_);
    plugin_->deactivate(plugin_);
    std::lock_guard lock(mutex_);
    active_ = false;
}

std::vector<OutEvent> ClapInstance::process(const float* inL, const float* inR, float* outL,
                                            float* outR, std::uint32_t frames,
                                            const std::vector<ParamChange>& changes) {
    InputList in(changes);
    OutputList out;
    float* ins[2] = {const_cast<float*>(inL), const_cast<float*>(inR)};
    float* outs[2] = {outL, outR};
    const clap_audio_buffer_t input{ins, nullptr, 2, 0, 0};
    clap_audio_buffer_t output{outs, nullptr, 2, 0, 0};
    clap_process_t p{};
    p.steady_time = -1;
    p.frames_count = frames;
    p.audio_inputs = &input;
    p.audio_outputs = &output;
    p.audio_inputs_count = 1;
    p.audio_outputs_count = 1;
    p.in_events = &in.record;
    p.out_events = &out.record;
    plugin_->process(plugin_, &p);
    return out.events;
}

std::vector<OutEvent> ClapInstance::flush(const std::vector<ParamChange>& changes) {
    InputList in(changes);
    OutputList out;
    if (const clap_plugin_params_t* p = params()) {
        p->flush(plugin_, &in.record, &out.record);
    }
    return out.events;
}

std::optional<std::vector<std::uint8_t>> ClapInstance::save(std::size_t chunk) {
    const auto* state = extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    if (!state) {
        return std::nullopt;
    }
    Stream s{{}, chunk};
    clap_ostream_t stream{&s, [](const clap_ostream_t* o, const void* buffer, std::uint64_t size) {
                              auto& s = *static_cast<Stream*>(o->ctx);
                              const std::size_t n = std::min<std::uint64_t>(size, s.chunk);
                              const auto* b = static_cast<const std::uint8_t*>(buffer);
                              s.bytes.insert(s.bytes.end(), b, b + n);
                              return static_cast<std::int64_t>(n);
                          }};
    if (!state->save(plugin_, &stream)) {
        return std::nullopt;
    }
    return s.bytes;
}

bool ClapInstance::load(const std::vector<std::uint8_t>& bytes, std::size_t chunk) {
    const auto* state = extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    if (!state) {
        return false;
    }
    Stream s{bytes, chunk};
    clap_istream_t stream{
        &s, [](const clap_istream_t* i, void* buffer, std::uint64_t size) {
            auto& s = *static_cast<Stream*>(i->ctx);
            const std::size_t n = std::min<std::uint64_t>({size, s.chunk, s.bytes.size() - s.at});
            if (n > 0) {
                std::memcpy(buffer, s.bytes.data() + s.at, n);
            }
            s.at += n;
            return static_cast<std::int64_t>(n);
        }};
    return state->load(plugin_, &stream);
}

bool ClapInstance::loadPreset(const char* key) {
    const auto* presets = extension<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
    return presets &&
           presets->from_location(plugin_, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, key);
}

std::optional<double> ClapInstance::value(clap_id id) const {
    double v = 0.0;
    const clap_plugin_params_t* p = params();
    if (!p || !p->get_value(plugin_, id, &v)) {
        return std::nullopt;
    }
    return v;
}

std::uint32_t ClapInstance::latency() const {
    const auto* l = extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY);
    return l ? l->get(plugin_) : 0;
}

ClapInstance::Calls ClapInstance::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

void ClapInstance::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_ = {};
}

std::map<clap_id, std::uint32_t> ClapInstance::timers() const {
    std::lock_guard lock(mutex_);
    return timers_;
}

int ClapInstance::timersEverRegistered() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(nextTimer);
}

void ClapInstance::fireTimers() {
    const auto* support = extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
    if (!support) {
        return;
    }
    for (const auto& [id, period] : timers()) {
        support->on_timer(plugin_, id);
    }
}

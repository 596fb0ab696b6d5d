#include "clapbridge.h"

#include "clapplatform.h"
#include "pluginhost.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

namespace gravelix::host {

namespace {

// The window scale message of VST 2.4 hosts (effVendorSpecific 'PreS' 'AeCs', the factor in opt).
constexpr VstInt32 kScaleMessage = 0x50726553;
constexpr VstIntPtr kScaleValue = 0x41654373;

// The bridge whose block this thread is running: thread-check's audio thread.
thread_local const ClapBridge* audioOf = nullptr;

// Gives the calling thread the audio thread's role while it lives: for a block, and for the
// audio-thread calls a host makes while no block can run (stop_processing when suspending).
class AudioRole {
public:
    explicit AudioRole(const ClapBridge* bridge) : previous_(std::exchange(audioOf, bridge)) {}
    ~AudioRole() { audioOf = previous_; }
    AudioRole(const AudioRole&) = delete;
    AudioRole& operator=(const AudioRole&) = delete;

private:
    const ClapBridge* previous_;
};

// Text limits of the record's requests (terminator excluded), as the host's checks hold every
// plug-in to them; longer CLAP texts are cut.
constexpr std::size_t kParamNameLimit = 31;
constexpr std::size_t kParamTextLimit = kVstMaxParamStrLen;
constexpr std::size_t kEffectNameLimit = kVstMaxEffectNameLen;
constexpr std::size_t kVendorLimit = 64;
constexpr std::size_t kProgramNameLimit = kVstMaxProgNameLen - 1;

void copyText(void* ptr, const std::string& text, std::size_t limit) {
    if (ptr) {
        const std::size_t n = std::min(text.size(), limit);
        std::memcpy(ptr, text.data(), n);
        static_cast<char*>(ptr)[n] = '\0';
    }
}

// 32-bit FNV-1a of the CLAP id: a stable number for the record's unique ID.
VstInt32 idHash(const std::string& id) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : id) {
        h = (h ^ c) * 16777619u;
    }
    return static_cast<VstInt32>(h);
}

// "1.2.1" as 121 (each part a decimal digit's weight), the way the record's vendor version
// counts.
VstInt32 versionNumber(const std::string& version) {
    int parts[3] = {0, 0, 0};
    std::sscanf(version.c_str(), "%d.%d.%d", &parts[0], &parts[1], &parts[2]);
    return parts[0] * 100 + parts[1] * 10 + parts[2];
}

constexpr const char* kFunctionNames[] = {"request_restart",
                                          "request_process",
                                          "request_callback",
                                          "params.rescan",
                                          "params.clear",
                                          "params.request_flush",
                                          "latency.changed",
                                          "state.mark_dirty",
                                          "timer-support.register_timer",
                                          "timer-support.unregister_timer",
                                          "posix-fd-support.register_fd",
                                          "posix-fd-support.modify_fd",
                                          "posix-fd-support.unregister_fd",
                                          "gui.resize_hints_changed",
                                          "gui.request_resize",
                                          "gui.request_show",
                                          "gui.request_hide",
                                          "gui.closed",
                                          "audio-ports.rescan",
                                          "tail.changed",
                                          "preset-load.loaded",
                                          "preset-load.on_error"};
static_assert(std::size(kFunctionNames) == static_cast<std::size_t>(ClapHostFunction::Count));

const char* severityName(clap_log_severity severity) {
    switch (severity) {
    case CLAP_LOG_DEBUG:
        return "debug";
    case CLAP_LOG_INFO:
        return "info";
    case CLAP_LOG_WARNING:
        return "warning";
    case CLAP_LOG_ERROR:
        return "error";
    case CLAP_LOG_FATAL:
        return "fatal";
    case CLAP_LOG_HOST_MISBEHAVING:
        return "host misbehaving";
    case CLAP_LOG_PLUGIN_MISBEHAVING:
        return "plug-in misbehaving";
    default:
        return "log";
    }
}

// Streams over a byte vector (saving) and a byte range (loading), for the state extension.
struct ReadStream {
    const std::uint8_t* data;
    std::uint64_t size;
    std::uint64_t at = 0;
};

} // namespace

const char* clapHostFunctionName(ClapHostFunction function) {
    return kFunctionNames[static_cast<int>(function)];
}

bool clapHostFunctionIsMainThreadOnly(ClapHostFunction function) {
    switch (function) {
    case ClapHostFunction::ParamsRescan:
    case ClapHostFunction::ParamsClear:
    case ClapHostFunction::LatencyChanged:
    case ClapHostFunction::StateMarkDirty:
    case ClapHostFunction::RegisterTimer:
    case ClapHostFunction::UnregisterTimer:
    case ClapHostFunction::RegisterFd:
    case ClapHostFunction::ModifyFd:
    case ClapHostFunction::UnregisterFd:
    case ClapHostFunction::GuiClosed:
    case ClapHostFunction::AudioPortsRescan:
    case ClapHostFunction::PresetLoaded:
    case ClapHostFunction::PresetError:
        return true;
    default:
        return false;
    }
}

ClapBridge::ClapBridge(const std::string& path, const std::string& pluginId,
                       audioMasterCallback callback)
    : file_(std::make_unique<ClapPlugin>(path)), callback_(callback) {
    chosen_ = file_->find(pluginId);
    const ClapDescriptor& d = descriptor();
    const auto start = std::chrono::steady_clock::now();

    host_.clap_version = CLAP_VERSION;
    host_.host_data = this;
    host_.name = "gravelix-host";
    host_.vendor = "Gravelix";
    host_.url = "";
    host_.version = "1";
    host_.get_extension = hostExtension;
    host_.request_restart = [](const clap_host_t* h) {
        of(h).record(ClapHostFunction::RequestRestart);
        of(h).restartRequested_.store(true);
    };
    host_.request_process = [](const clap_host_t* h) {
        of(h).record(ClapHostFunction::RequestProcess);
    };
    host_.request_callback = [](const clap_host_t* h) {
        of(h).record(ClapHostFunction::RequestCallback);
        of(h).callbackRequested_.store(true);
    };

    const clap_plugin_factory_t* factory = file_->pluginFactory();
    plugin_ = factory->create_plugin(factory, &host_, d.id.c_str());
    if (!plugin_) {
        throw LoadError(LoadError::Kind::NullEffect,
                        "'" + path + "' did not create its plug-in '" + d.id + "'");
    }
    if (!plugin_->init(plugin_)) {
        plugin_->destroy(plugin_);
        plugin_ = nullptr;
        throw LoadError(LoadError::Kind::NullEffect,
                        "plug-in '" + d.id + "' of '" + path + "' failed to initialise");
    }
    auto extension = [this](const char* id) { return plugin_->get_extension(plugin_, id); };
    params_ = static_cast<const clap_plugin_params_t*>(extension(CLAP_EXT_PARAMS));
    state_ = static_cast<const clap_plugin_state_t*>(extension(CLAP_EXT_STATE));
    latency_ = static_cast<const clap_plugin_latency_t*>(extension(CLAP_EXT_LATENCY));
    gui_ = static_cast<const clap_plugin_gui_t*>(extension(CLAP_EXT_GUI));
    timers_ = static_cast<const clap_plugin_timer_support_t*>(extension(CLAP_EXT_TIMER_SUPPORT));
    fds_ = static_cast<const clap_plugin_posix_fd_support_t*>(extension(CLAP_EXT_POSIX_FD_SUPPORT));
    presetLoad_ = static_cast<const clap_plugin_preset_load_t*>(extension(CLAP_EXT_PRESET_LOAD));
    if (!presetLoad_) {
        presetLoad_ =
            static_cast<const clap_plugin_preset_load_t*>(extension(CLAP_EXT_PRESET_LOAD_COMPAT));
    }
    tail_ = static_cast<const clap_plugin_tail_t*>(extension(CLAP_EXT_TAIL));

    readParamInfos();
    const auto count = static_cast<VstInt32>(infos_.size());
    values_ = std::make_unique<std::atomic<double>[]>(infos_.size());
    pending_ = std::make_unique<std::atomic<bool>[]>(infos_.size());
    for (VstInt32 i = 0; i < count; ++i) {
        double v = infos_[i].default_value;
        if (params_->get_value) {
            params_->get_value(plugin_, infos_[i].id, &v);
        }
        values_[i].store(v);
        pending_[i].store(false);
    }
    inEvents_.resize(infos_.size());
    inList_.ctx = this;
    inList_.size = [](const clap_input_events_t* list) {
        return static_cast<const ClapBridge*>(list->ctx)->inCount_;
    };
    inList_.get = [](const clap_input_events_t* list,
                     std::uint32_t index) -> const clap_event_header_t* {
        const auto* self = static_cast<const ClapBridge*>(list->ctx);
        return index < self->inCount_ ? &self->inEvents_[index].header : nullptr;
    };
    outList_.ctx = this;
    outList_.try_push = [](const clap_output_events_t* list, const clap_event_header_t* event) {
        return static_cast<ClapBridge*>(list->ctx)->outputEvent(event);
    };

    if (const auto* ports =
            static_cast<const clap_plugin_audio_ports_t*>(extension(CLAP_EXT_AUDIO_PORTS))) {
        for (bool input : {true, false}) {
            auto& list = input ? inPorts_ : outPorts_;
            const std::uint32_t n = ports->count(plugin_, input);
            for (std::uint32_t i = 0; i < n; ++i) {
                clap_audio_port_info_t info{};
                list.push_back(ports->get(plugin_, i, input, &info) ? info.channel_count : 0);
            }
        }
    }
    inBuffers_.resize(inPorts_.size());
    outBuffers_.resize(outPorts_.size());
    std::uint32_t channels = 0;
    for (std::uint32_t c : inPorts_) {
        channels += c;
    }
    effect_.numInputs = static_cast<VstInt32>(channels);
    for (std::uint32_t c : outPorts_) {
        channels += c;
    }
    effect_.numOutputs = static_cast<VstInt32>(channels) - effect_.numInputs;
    channelPointers_.resize(channels);

    presets_ = ClapPresets::discover(*file_, d.id);
    if (!presetLoad_) {
        presets_.clear();
    }
    programStates_.resize(presets_.size());

    effect_.magic = kEffectMagic;
    BridgeRecord<ClapBridge>::install(effect_);
    effect_.numPrograms = static_cast<VstInt32>(presets_.size());
    effect_.numParams = count;
    effect_.flags = effFlagsCanReplacing | (state_ ? effFlagsProgramChunks : 0);
    if (gui_ && gui_->is_api_supported && gui_->is_api_supported(plugin_, clapWindowApi(), false)) {
        effect_.flags |= effFlagsHasEditor;
    }
    effect_.ioRatio = 1.0f;
    effect_.object = this;
    effect_.uniqueID = idHash(d.id);
    effect_.version = versionNumber(d.version);
    entrySeconds_ = file_->entrySeconds() +
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

ClapBridge::~ClapBridge() {
    close();
}

void ClapBridge::readParamInfos() {
    const std::uint32_t count = params_ ? params_->count(plugin_) : 0;
    std::vector<clap_param_info_t> infos(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!params_->get_info(plugin_, i, &infos[i])) {
            infos[i] = {};
            std::snprintf(infos[i].name, sizeof infos[i].name, "Parameter %u", i);
        }
    }
    if (!infos_.empty() && infos.size() != infos_.size()) {
        // The count may only change across a restart; the old table stays until then.
        return;
    }
    infos_ = std::move(infos);
    byId_.clear();
    for (std::size_t i = 0; i < infos_.size(); ++i) {
        byId_.emplace_back(infos_[i].id, static_cast<VstInt32>(i));
    }
    std::sort(byId_.begin(), byId_.end());
}

VstInt32 ClapBridge::indexOf(clap_id id) const {
    const auto it = std::lower_bound(byId_.begin(), byId_.end(), std::make_pair(id, VstInt32{0}));
    return it != byId_.end() && it->first == id ? it->second : -1;
}

double ClapBridge::plainValue(VstInt32 index, float normalised) const {
    const clap_param_info_t& info = infos_[static_cast<std::size_t>(index)];
    // NaN and values outside 0..1 are clamped as a VST 2.4 host's would be.
    const double n = normalised >= 0.0f ? std::min(normalised, 1.0f) : 0.0f;
    const double v = info.min_value + n * (info.max_value - info.min_value);
    return (info.flags & CLAP_PARAM_IS_STEPPED) ? std::round(v) : v;
}

float ClapBridge::normalisedValue(VstInt32 index, double plain) const {
    const clap_param_info_t& info = infos_[static_cast<std::size_t>(index)];
    const double span = info.max_value - info.min_value;
    if (!(span > 0.0)) {
        return 0.0f;
    }
    const double n = (plain - info.min_value) / span;
    return static_cast<float>(n >= 0.0 ? std::min(n, 1.0) : 0.0);
}

bool ClapBridge::onAudioThread() const {
    return audioOf == this;
}

ClapBridge& ClapBridge::of(const clap_host_t* host) {
    return *static_cast<ClapBridge*>(host->host_data);
}

void ClapBridge::record(ClapHostFunction function) {
    calls_[static_cast<int>(function)][onAudioThread() ? 1 : 0].fetch_add(
        1, std::memory_order_relaxed);
}

std::uint32_t ClapBridge::hostCalls(ClapHostFunction function, bool audioThread) const {
    return calls_[static_cast<int>(function)][audioThread ? 1 : 0].load();
}

void ClapBridge::clearHostCalls() {
    for (auto& row : calls_) {
        for (auto& count : row) {
            count.store(0);
        }
    }
    latencyWhileActive_.store(0);
}

const void* ClapBridge::hostExtension(const clap_host_t* host, const char* id) {
    static const clap_host_thread_check_t threadCheck{
        [](const clap_host_t* h) { return !of(h).onAudioThread(); },
        [](const clap_host_t* h) { return of(h).onAudioThread(); }};
    static const clap_host_log_t log{
        [](const clap_host_t*, clap_log_severity severity, const char* message) {
            std::fprintf(stderr, "gravelix-host: plug-in %s: %s\n", severityName(severity),
                         message ? message : "");
        }};
    static const clap_host_params_t params{
        [](const clap_host_t* h, clap_param_rescan_flags flags) {
            ClapBridge& self = of(h);
            self.record(ClapHostFunction::ParamsRescan);
            if (self.onAudioThread()) {
                return;
            }
            if (flags & (CLAP_PARAM_RESCAN_INFO | CLAP_PARAM_RESCAN_ALL)) {
                self.readParamInfos();
            }
            self.callback_(&self.effect_, audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f);
        },
        [](const clap_host_t* h, clap_id, clap_param_clear_flags) {
            of(h).record(ClapHostFunction::ParamsClear);
        },
        [](const clap_host_t* h) {
            of(h).record(ClapHostFunction::ParamsRequestFlush);
            of(h).flushRequested_.store(true);
        }};
    static const clap_host_latency_t latency{[](const clap_host_t* h) {
        ClapBridge& self = of(h);
        self.record(ClapHostFunction::LatencyChanged);
        if (self.active_.load() && !self.activating_) {
            self.latencyWhileActive_.fetch_add(1);
        }
    }};
    static const clap_host_state_t state{
        [](const clap_host_t* h) { of(h).record(ClapHostFunction::StateMarkDirty); }};
    static const clap_host_timer_support_t timers{
        [](const clap_host_t* h, std::uint32_t periodMs, clap_id* timerId) {
            ClapBridge& self = of(h);
            self.record(ClapHostFunction::RegisterTimer);
            if (!timerId || self.onAudioThread()) {
                return false;
            }
            // Short periods run at every idle; a host idles about 30 times a second.
            const std::chrono::milliseconds period(std::max<std::uint32_t>(periodMs, 1));
            *timerId = self.nextTimer_++;
            self.timerList_.push_back(
                {*timerId, period, std::chrono::steady_clock::now() + period});
            return true;
        },
        [](const clap_host_t* h, clap_id timerId) {
            ClapBridge& self = of(h);
            self.record(ClapHostFunction::UnregisterTimer);
            const auto before = self.timerList_.size();
            std::erase_if(self.timerList_, [timerId](const Timer& t) { return t.id == timerId; });
            return self.timerList_.size() != before;
        }};
    static const clap_host_posix_fd_support_t fds{
        [](const clap_host_t* h, int fd, clap_posix_fd_flags_t flags) {
            ClapBridge& self = of(h);
            self.record(ClapHostFunction::RegisterFd);
            if (std::find(self.fdList_.begin(), self.fdList_.end(), fd) != self.fdList_.end()) {
                return false;
            }
            self.fdList_.push_back(fd);
            self.fdFlags_.push_back(flags);
            return true;
        },
        [](const clap_host_t* h, int fd, clap_posix_fd_flags_t flags) {
            ClapBridge& self = of(h);
            self.record(ClapHostFunction::ModifyFd);
            const auto it = std::find(self.fdList_.begin(), self.fdList_.end(), fd);
            if (it == self.fdList_.end()) {
                return false;
            }
            self.fdFlags_[static_cast<std::size_t>(it - self.fdList_.begin())] = flags;
            return true;
        },
        [](const clap_host_t* h, int fd) {
            ClapBridge& self = of(h);
            self.record(ClapHostFunction::UnregisterFd);
            const auto it = std::find(self.fdList_.begin(), self.fdList_.end(), fd);
            if (it == self.fdList_.end()) {
                return false;
            }
            self.fdFlags_.erase(self.fdFlags_.begin() + (it - self.fdList_.begin()));
            self.fdList_.erase(it);
            return true;
        }};
    static const clap_host_gui_t gui{
        [](const clap_host_t* h) { of(h).record(ClapHostFunction::GuiResizeHintsChanged); },
        [](const clap_host_t* h, std::uint32_t width, std::uint32_t height) {
            ClapBridge& self = of(h);
            self.record(ClapHostFunction::GuiRequestResize);
            const VstIntPtr accepted =
                self.callback_(&self.effect_, audioMasterSizeWindow, static_cast<VstInt32>(width),
                               static_cast<VstIntPtr>(height), nullptr, 0.0f);
            if (accepted) {
                self.rect_ = {0, 0, static_cast<std::int16_t>(height),
                              static_cast<std::int16_t>(width)};
            }
            return accepted != 0;
        },
        [](const clap_host_t* h) {
            of(h).record(ClapHostFunction::GuiRequestShow);
            return false;
        },
        [](const clap_host_t* h) {
            of(h).record(ClapHostFunction::GuiRequestHide);
            return false;
        },
        [](const clap_host_t* h, bool) { of(h).record(ClapHostFunction::GuiClosed); }};
    static const clap_host_audio_ports_t audioPorts{
        [](const clap_host_t*, std::uint32_t) { return false; },
        [](const clap_host_t* h, std::uint32_t) {
            of(h).record(ClapHostFunction::AudioPortsRescan);
        }};
    static const clap_host_tail_t tail{
        [](const clap_host_t* h) { of(h).record(ClapHostFunction::TailChanged); }};
    static const clap_host_preset_load_t presetLoad{
        [](const clap_host_t* h, std::uint32_t, const char*, const char* key, std::int32_t,
           const char* message) {
            of(h).record(ClapHostFunction::PresetError);
            std::fprintf(stderr, "gravelix-host: preset '%s' did not load: %s\n", key ? key : "",
                         message ? message : "");
        },
        [](const clap_host_t* h, std::uint32_t, const char*, const char*) {
            of(h).record(ClapHostFunction::PresetLoaded);
        }};

    const std::string_view want = id ? id : "";
    if (want == CLAP_EXT_THREAD_CHECK) {
        return &threadCheck;
    }
    if (want == CLAP_EXT_LOG) {
        return &log;
    }
    if (want == CLAP_EXT_PARAMS) {
        return &params;
    }
    if (want == CLAP_EXT_LATENCY) {
        return &latency;
    }
    if (want == CLAP_EXT_STATE) {
        return &state;
    }
    if (want == CLAP_EXT_TIMER_SUPPORT) {
        return &timers;
    }
    if (want == CLAP_EXT_POSIX_FD_SUPPORT) {
        return clapHasFdSupport() ? &fds : nullptr;
    }
    if (want == CLAP_EXT_GUI) {
        return &gui;
    }
    if (want == CLAP_EXT_AUDIO_PORTS) {
        return &audioPorts;
    }
    if (want == CLAP_EXT_TAIL) {
        return &tail;
    }
    if (want == CLAP_EXT_PRESET_LOAD || want == CLAP_EXT_PRESET_LOAD_COMPAT) {
        return &presetLoad;
    }
    (void)host;
    return nullptr;
}

// Audio thread while a block runs (params.flush while inactive: the main thread); no lock, no
// allocation: the host callback is the host's and takes neither.
bool ClapBridge::outputEvent(const clap_event_header_t* event) {
    if (!event || event->space_id != CLAP_CORE_EVENT_SPACE_ID) {
        return true;
    }
    switch (event->type) {
    case CLAP_EVENT_PARAM_VALUE: {
        const auto* e = reinterpret_cast<const clap_event_param_value_t*>(event);
        const VstInt32 i = indexOf(e->param_id);
        if (i >= 0) {
            values_[static_cast<std::size_t>(i)].store(e->value);
            callback_(&effect_, audioMasterAutomate, i, 0, nullptr, normalisedValue(i, e->value));
        }
        return true;
    }
    case CLAP_EVENT_PARAM_GESTURE_BEGIN:
    case CLAP_EVENT_PARAM_GESTURE_END: {
        const auto* e = reinterpret_cast<const clap_event_param_gesture_t*>(event);
        const VstInt32 i = indexOf(e->param_id);
        if (i >= 0) {
            callback_(&effect_,
                      event->type == CLAP_EVENT_PARAM_GESTURE_BEGIN ? audioMasterBeginEdit
                                                                    : audioMasterEndEdit,
                      i, 0, nullptr, 0.0f);
        }
        return true;
    }
    default:
        return true;
    }
}

bool ClapBridge::activate() {
    if (active_.load()) {
        return true;
    }
    activating_ = true;
    const bool ok = plugin_->activate(plugin_, rate_, 1, maxFrames_);
    activating_ = false;
    if (!ok) {
        return false;
    }
    processing_ = false;
    steadyTime_ = 0;
    effect_.initialDelay = latency_ ? static_cast<VstInt32>(latency_->get(plugin_)) : 0;
    active_.store(true);
    return true;
}

void ClapBridge::deactivate() {
    if (!active_.load()) {
        return;
    }
    if (processing_) {
        // No block runs now, so this thread may stand in for the audio thread.
        AudioRole role(this);
        plugin_->stop_processing(plugin_);
        processing_ = false;
    }
    plugin_->deactivate(plugin_);
    active_.store(false);
    flushPending();
}

void ClapBridge::resume() {
    if (restartRequested_.exchange(false)) {
        deactivate();
    }
    activate();
}

void ClapBridge::suspend() {
    deactivate();
}

void ClapBridge::restart() {
    if (!active_.load()) {
        return;
    }
    gate_.fetch_or(kPaused);
    while (gate_.load() & kInside) {
        std::this_thread::yield();
    }
    const VstInt32 delay = effect_.initialDelay;
    deactivate();
    activate();
    gate_.fetch_and(~kPaused);
    if (effect_.initialDelay != delay) {
        callback_(&effect_, audioMasterIOChanged, 0, 0, nullptr, 0.0f);
    }
}

// Main thread, inactive: what was set while a block could not take it goes through flush.
void ClapBridge::flushPending() {
    if (active_.load()) {
        return;
    }
    flushNow();
}

// The values set since the last block or flush, as the input events of the next one. No
// allocation: the events live in a list sized for one per parameter.
void ClapBridge::collectPendingEvents() {
    inCount_ = 0;
    for (std::size_t i = 0; i < infos_.size(); ++i) {
        if (pending_[i].load(std::memory_order_relaxed) && pending_[i].exchange(false)) {
            clap_event_param_value_t& e = inEvents_[inCount_++];
            e = {};
            e.header = {sizeof e, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
            e.param_id = infos_[i].id;
            e.cookie = infos_[i].cookie;
            e.note_id = -1;
            e.port_index = -1;
            e.channel = -1;
            e.key = -1;
            e.value = values_[i].load();
        }
    }
}

// The pending values through flush, which also collects what the plug-in has to say (an
// edit in its editor). Never on the audio thread: flushes from any other threads take turns,
// and no block runs meanwhile.
void ClapBridge::flushNow() {
    if (!params_ || !params_->flush) {
        return;
    }
    if (flushingThread_.load() == std::this_thread::get_id()) {
        flushRequested_.store(true);
        return;
    }
    std::lock_guard<std::mutex> turn(flushMutex_);
    flushingThread_.store(std::this_thread::get_id());
    gate_.fetch_or(kFlushing);
    while (gate_.load() & kInside) {
        std::this_thread::yield();
    }
    collectPendingEvents();
    params_->flush(plugin_, &inList_, &outList_);
    inCount_ = 0;
    gate_.fetch_and(~kFlushing);
    flushingThread_.store(std::thread::id{});
}

// Active but no block since the last idle (a stopped transport, a host that only idles): the
// plug-in asked for a flush, which then runs here with this thread standing in for the audio
// thread. While blocks run they take it instead.
void ClapBridge::flushWhileActive() {
    AudioRole role(this);
    flushNow();
}

void ClapBridge::setParameter(VstInt32 index, float value) {
    if (index < 0 || static_cast<std::size_t>(index) >= infos_.size()) {
        return;
    }
    values_[static_cast<std::size_t>(index)].store(plainValue(index, value));
    pending_[static_cast<std::size_t>(index)].store(true);
    if (!active_.load() && !onAudioThread()) {
        flushPending();
    }
}

double ClapBridge::currentPlain(VstInt32 index) {
    const auto i = static_cast<std::size_t>(index);
    if (!pending_[i].load() && !onAudioThread() && params_->get_value) {
        double v = 0.0;
        if (params_->get_value(plugin_, infos_[i].id, &v)) {
            values_[i].store(v);
        }
    }
    return values_[i].load();
}

float ClapBridge::getParameter(VstInt32 index) {
    if (index < 0 || static_cast<std::size_t>(index) >= infos_.size()) {
        return 0.0f;
    }
    return normalisedValue(index, currentPlain(index));
}

// The caller's audio thread: no lock, no allocation.
void ClapBridge::process(float** inputs, float** outputs, VstInt32 frames) {
    const auto silence = [&] {
        for (VstInt32 c = 0; c < effect_.numOutputs; ++c) {
            std::fill(outputs[c], outputs[c] + std::max(frames, 0), 0.0f);
        }
    };
    if ((gate_.fetch_or(kInside) & (kPaused | kFlushing)) || !active_.load() || frames <= 0) {
        gate_.fetch_and(~kInside);
        silence();
        return;
    }
    AudioRole role(this);
    if (!processing_) {
        processing_ = !plugin_->start_processing || plugin_->start_processing(plugin_);
        if (!processing_) {
            gate_.fetch_and(~kInside);
            silence();
            return;
        }
    }
    collectPendingEvents();
    // Blocks longer than the activation allowed go through in parts; the events with the first.
    for (VstInt32 done = 0; done < frames;) {
        const auto part = static_cast<std::uint32_t>(
            std::min<std::int64_t>(frames - done, static_cast<std::int64_t>(maxFrames_)));
        std::size_t channel = 0;
        for (std::size_t p = 0; p < inPorts_.size(); ++p) {
            inBuffers_[p] = {&channelPointers_[channel], nullptr, inPorts_[p], 0, 0};
            for (std::uint32_t c = 0; c < inPorts_[p]; ++c, ++channel) {
                channelPointers_[channel] = inputs[channel] + done;
            }
        }
        const std::size_t firstOut = channel;
        for (std::size_t p = 0; p < outPorts_.size(); ++p) {
            outBuffers_[p] = {&channelPointers_[channel], nullptr, outPorts_[p], 0, 0};
            for (std::uint32_t c = 0; c < outPorts_[p]; ++c, ++channel) {
                channelPointers_[channel] = outputs[channel - firstOut] + done;
            }
        }
        clap_process_t block{};
        block.steady_time = steadyTime_;
        block.frames_count = part;
        block.audio_inputs = inBuffers_.data();
        block.audio_outputs = outBuffers_.data();
        block.audio_inputs_count = static_cast<std::uint32_t>(inBuffers_.size());
        block.audio_outputs_count = static_cast<std::uint32_t>(outBuffers_.size());
        block.in_events = &inList_;
        block.out_events = &outList_;
        if (plugin_->process(plugin_, &block) == CLAP_PROCESS_ERROR) {
            for (VstInt32 c = 0; c < effect_.numOutputs; ++c) {
                std::fill(outputs[c] + done, outputs[c] + done + part, 0.0f);
            }
        }
        inCount_ = 0;
        steadyTime_ += part;
        done += static_cast<VstInt32>(part);
    }
    blocks_.fetch_add(1, std::memory_order_relaxed);
    gate_.fetch_and(~kInside);
}

VstIntPtr ClapBridge::saveState(void** data) {
    if (!state_ || !data) {
        return 0;
    }
    chunk_.clear();
    clap_ostream_t stream{
        &chunk_,
        [](const clap_ostream_t* s, const void* buffer, std::uint64_t size) -> std::int64_t {
            auto* out = static_cast<std::vector<std::uint8_t>*>(s->ctx);
            const auto* bytes = static_cast<const std::uint8_t*>(buffer);
            out->insert(out->end(), bytes, bytes + size);
            return static_cast<std::int64_t>(size);
        }};
    if (!state_->save(plugin_, &stream)) {
        return 0;
    }
    *data = chunk_.data();
    return static_cast<VstIntPtr>(chunk_.size());
}

VstIntPtr ClapBridge::loadState(const void* data, VstIntPtr size) {
    if (!state_ || (!data && size > 0) || size < 0) {
        return 0;
    }
    ReadStream source{static_cast<const std::uint8_t*>(data), static_cast<std::uint64_t>(size)};
    clap_istream_t stream{
        &source, [](const clap_istream_t* s, void* buffer, std::uint64_t size) -> std::int64_t {
            auto* in = static_cast<ReadStream*>(s->ctx);
            const std::uint64_t n = std::min(size, in->size - in->at);
            if (n > 0) {
                std::memcpy(buffer, in->data + in->at, n);
            }
            in->at += n;
            return static_cast<std::int64_t>(n);
        }};
    // A loaded state wins over values set before it that no block has taken yet.
    for (std::size_t i = 0; i < infos_.size(); ++i) {
        pending_[i].store(false);
    }
    return state_->load(plugin_, &stream) ? 1 : 0;
}

VstIntPtr ClapBridge::loadPreset(VstIntPtr index) {
    // The current program keeps its edits; the first choice always loads, since a new
    // instance's values need not be its first preset's.
    if (index < 0 || static_cast<std::size_t>(index) >= presets_.size() || !presetLoad_ ||
        (index == program_ && programChosen_)) {
        return 0;
    }
    programChosen_ = true;
    // A VST 2.4 program keeps its edits until the host switches back to it; a preset is loaded
    // afresh each time, so the state left in a program is kept and loaded on return instead.
    if (state_ && static_cast<VstInt32>(index) != program_) {
        void* data = nullptr;
        const VstIntPtr size = saveState(&data);
        programStates_[static_cast<std::size_t>(program_)].assign(chunk_.begin(),
                                                                  chunk_.begin() + size);
        const auto& kept = programStates_[static_cast<std::size_t>(index)];
        if (!kept.empty() && loadState(kept.data(), static_cast<VstIntPtr>(kept.size()))) {
            program_ = static_cast<VstInt32>(index);
            return 0;
        }
    }
    for (std::size_t i = 0; i < infos_.size(); ++i) {
        pending_[i].store(false);
    }
    if (presetLoad_->from_location(plugin_, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr,
                                   presets_[static_cast<std::size_t>(index)].loadKey.c_str())) {
        program_ = static_cast<VstInt32>(index);
    }
    return 0;
}

bool ClapBridge::createGui() {
    if (guiCreated_) {
        return true;
    }
    if (!(effect_.flags & effFlagsHasEditor) || !gui_->create(plugin_, clapWindowApi(), false)) {
        return false;
    }
    guiCreated_ = true;
    if (scale_ > 0.0 && gui_->set_scale) {
        gui_->set_scale(plugin_, scale_);
    }
    return true;
}

VstIntPtr ClapBridge::editorRect(void* ptr) {
    if (!ptr || !createGui()) {
        return 0;
    }
    std::uint32_t width = 0, height = 0;
    if (gui_->get_size(plugin_, &width, &height)) {
        rect_ = {0, 0, static_cast<std::int16_t>(height), static_cast<std::int16_t>(width)};
    }
    *static_cast<ERect**>(ptr) = &rect_;
    return 1;
}

VstIntPtr ClapBridge::editorOpen(void* parent) {
    if (guiOpen_ || !createGui()) {
        return 0;
    }
    std::uint32_t width = 0, height = 0;
    if (gui_->get_size(plugin_, &width, &height)) {
        rect_ = {0, 0, static_cast<std::int16_t>(height), static_cast<std::int16_t>(width)};
    }
    const clap_window_t window = clapParentWindow(parent);
    if (!gui_->set_parent(plugin_, &window)) {
        gui_->destroy(plugin_);
        guiCreated_ = false;
        return 0;
    }
    gui_->show(plugin_);
    guiOpen_ = true;
    return 1;
}

void ClapBridge::editorClose() {
    if (guiCreated_) {
        if (guiOpen_) {
            gui_->hide(plugin_);
        }
        gui_->destroy(plugin_);
    }
    guiCreated_ = guiOpen_ = false;
}

void ClapBridge::runTimersAndFds() {
    // Each idle is a tick of every timer: the caller idles at the pace a host idles editors,
    // and what it drew or read there must show at that idle, not at the timer's next period.
    // A timer may unregister itself or others while it runs: walk a copy of the ids.
    std::vector<clap_id> due;
    for (Timer& t : timerList_) {
        due.push_back(t.id);
    }
    for (clap_id id : due) {
        if (timers_) {
            timers_->on_timer(plugin_, id);
        }
    }
    if (fds_ && !fdList_.empty()) {
        const std::vector<int> fds = fdList_;
        const std::vector<std::uint32_t> flags = fdFlags_;
        std::vector<std::uint32_t> ready(fds.size(), 0);
        if (clapReadyFds(fds.data(), flags.data(), ready.data(), fds.size())) {
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (ready[i]) {
                    fds_->on_fd(plugin_, fds[i], ready[i]);
                }
            }
        }
    }
}

void ClapBridge::idle() {
    if (!plugin_) {
        return;
    }
    if (restartRequested_.exchange(false)) {
        restart();
    }
    if (callbackRequested_.exchange(false)) {
        plugin_->on_main_thread(plugin_);
    }
    const std::uint64_t blocks = blocks_.load();
    if (flushRequested_.exchange(false)) {
        if (!active_.load()) {
            flushPending();
        } else if (blocks == blocksAtLastIdle_) {
            flushWhileActive();
        } else {
            // Blocks run: the next one takes it; asked again in case they stop first.
            flushRequested_.store(true);
        }
    }
    blocksAtLastIdle_ = blocks;
    runTimersAndFds();
}

void ClapBridge::close() {
    if (!plugin_) {
        return;
    }
    editorClose();
    deactivate();
    plugin_->destroy(plugin_);
    plugin_ = nullptr;
}

VstIntPtr ClapBridge::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
    if (!plugin_) {
        return 0;
    }
    const bool inRange = index >= 0 && static_cast<std::size_t>(index) < infos_.size();
    switch (opcode) {
    case effClose:
        close();
        return 0;
    case effSetProgram:
        return loadPreset(value);
    case effGetProgram:
        return program_;
    case effGetProgramName:
        copyText(ptr, presets_.empty() ? std::string() : presets_[program_].name,
                 kProgramNameLimit);
        return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || static_cast<std::size_t>(index) >= presets_.size()) {
            return 0;
        }
        copyText(ptr, presets_[static_cast<std::size_t>(index)].name, kProgramNameLimit);
        return 1;
    case effGetParamLabel:
        // CLAP puts the unit in the value's text.
        if (inRange) {
            copyText(ptr, "", kParamTextLimit);
        }
        return 0;
    case effGetParamDisplay:
        if (inRange) {
            char text[256] = "";
            if (!params_->value_to_text ||
                !params_->value_to_text(plugin_, infos_[index].id, currentPlain(index), text,
                                        sizeof text)) {
                std::snprintf(text, sizeof text, "%g", currentPlain(index));
            }
            text[sizeof text - 1] = '\0';
            copyText(ptr, text, kParamTextLimit);
        }
        return 0;
    case effGetParamName:
        if (inRange) {
            copyText(ptr, infos_[index].name, kParamNameLimit);
        }
        return 0;
    case effString2Parameter: {
        if (!inRange) {
            return 0;
        }
        double plain = 0.0;
        if (!ptr || !params_->text_to_value ||
            !params_->text_to_value(plugin_, infos_[index].id, static_cast<const char*>(ptr),
                                    &plain)) {
            return 0;
        }
        setParameter(index, normalisedValue(index, plain));
        return 1;
    }
    case effCanBeAutomated:
        return inRange && (infos_[index].flags & CLAP_PARAM_IS_AUTOMATABLE) ? 1 : 0;
    case effSetSampleRate:
        if (opt > 0.0f) {
            rate_ = opt;
            if (active_.load()) {
                restart();
            }
        }
        return 0;
    case effSetBlockSize:
        if (value > 0) {
            maxFrames_ = static_cast<std::uint32_t>(value);
            if (active_.load()) {
                restart();
            }
        }
        return 0;
    case effMainsChanged:
        value ? resume() : suspend();
        return 0;
    case effEditGetRect:
        return editorRect(ptr);
    case effEditOpen:
        return editorOpen(ptr);
    case effEditClose:
        editorClose();
        return 1;
    case effEditIdle:
    case effIdle:
        idle();
        return 0;
    case effGetChunk:
        return saveState(static_cast<void**>(ptr));
    case effSetChunk:
        return loadState(ptr, value);
    case effGetEffectName:
        copyText(ptr, descriptor().name, kEffectNameLimit);
        return 1;
    case effGetVendorString:
        copyText(ptr, descriptor().vendor, kVendorLimit);
        return 1;
    case effGetProductString:
        copyText(ptr, descriptor().name, kVendorLimit);
        return 1;
    case effGetVendorVersion:
        return effect_.version;
    case effGetVstVersion:
        return kVstVersion;
    case effGetTailSize:
        return tail_ && active_.load() ? static_cast<VstIntPtr>(tail_->get(plugin_)) : 0;
    case effVendorSpecific:
        // The window scale our commands tell VST 2.4 editors is CLAP's set_scale.
        if (index == kScaleMessage && value == kScaleValue && std::isfinite(opt) && opt > 0.0f) {
            scale_ = opt;
            if (guiCreated_ && gui_->set_scale) {
                gui_->set_scale(plugin_, scale_);
            }
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

} // namespace gravelix::host

#include "lv2bridge.h"

#include "lv2urimap.h"
#include "pluginhost.h"
#include "threadclock.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/parameters/parameters.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>
#include <lv2/ui/ui.h>
#include <lv2/units/units.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace gravelix::host {

namespace {

// The window scale message of VST 2.4 hosts (effVendorSpecific 'PreS' 'AeCs', the factor in opt).
constexpr VstInt32 kScaleMessage = 0x50726553;
constexpr VstIntPtr kScaleValue = 0x41654373;

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

// 32-bit FNV-1a of the URI: a stable number for the record's unique ID.
VstInt32 idHash(const std::string& uri) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : uri) {
        h = (h ^ c) * 16777619u;
    }
    return static_cast<VstInt32>(h);
}

const char* const kOfferedFeatures[] = {
    LV2_URID__map, LV2_URID__unmap,         LV2_OPTIONS__options, LV2_BUF_SIZE__boundedBlockLength,
    LV2_LOG__log,  LV2_CORE__hardRTCapable, LV2_CORE__isLive,     LV2_CORE__inPlaceBroken};

// A node made for one look-up.
struct Uri {
    Uri(LilvWorld* world, const char* text) : node(lilv_new_uri(world, text)) {}
    ~Uri() { lilv_node_free(node); }
    Uri(const Uri&) = delete;
    Uri& operator=(const Uri&) = delete;
    operator const LilvNode*() const { return node; }
    LilvNode* node;
};

std::string firstText(LilvNodes* nodes) {
    std::string s;
    if (nodes && lilv_nodes_size(nodes) > 0) {
        s = lilv_node_as_string(lilv_nodes_get_first(nodes));
    }
    lilv_nodes_free(nodes);
    return s;
}

// The size each UI last asked for, by its URI, for editors asked their size before they open.
std::mutex uiSizesMutex;
std::map<std::string, ERect> uiSizes;

// Words per atom buffer: an 8 KB sequence, aligned as atoms must be.
constexpr std::size_t kAtomWords = 1024;

} // namespace

bool Lv2Bridge::offers(const std::string& featureUri) {
    return std::any_of(std::begin(kOfferedFeatures), std::end(kOfferedFeatures),
                       [&](const char* f) { return featureUri == f; });
}

Lv2Bridge::Lv2Bridge(const std::string& where, const std::string& pluginUri,
                     audioMasterCallback callback)
    : plugin_(std::make_unique<Lv2Plugin>(where, pluginUri)), callback_(callback) {
    // An instance's cost: reading its ports and presets from the world and instantiating.
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = threadCpuSeconds();
    const Lv2Descriptor& d = plugin_->descriptor();
    std::string missing;
    for (const std::string& f : d.requiredFeatures) {
        if (!offers(f)) {
            missing += (missing.empty() ? "" : ", ") + f;
        }
    }
    if (!missing.empty()) {
        throw LoadError(LoadError::Kind::NullEffect, "LV2 plug-in '" + d.uri +
                                                         "' needs host features gravelix-host "
                                                         "lacks: " +
                                                         missing);
    }
    readPorts();
    readPresets();
    findUi();
    makeFeatures();
    instantiate();
    entrySeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    entryCpuSeconds_ = threadCpuSeconds() - cpuStart;

    effect_.magic = kEffectMagic;
    BridgeRecord<Lv2Bridge>::install(effect_);
    effect_.numPrograms = static_cast<VstInt32>(presets_.size());
    effect_.numParams = static_cast<VstInt32>(parameters_.size());
    effect_.numInputs = static_cast<VstInt32>(audioIns_.size());
    effect_.numOutputs = static_cast<VstInt32>(audioOuts_.size());
    effect_.flags = effFlagsCanReplacing | (ui() ? effFlagsHasEditor : 0);
    effect_.ioRatio = 1.0f;
    effect_.object = this;
    effect_.uniqueID = idHash(d.uri);
    int minor = 0, micro = 0;
    std::sscanf(d.version.c_str(), "%d.%d", &minor, &micro);
    effect_.version = minor * 100 + micro;
    if (latencyPort_ >= 0) {
        // Hosts read the delay before they resume: an activation and a run of no frames set it.
        resume();
        suspend();
    }
}

Lv2Bridge::~Lv2Bridge() {
    close();
}

void Lv2Bridge::readPorts() {
    std::lock_guard lock(plugin_->worldMutex());
    LilvWorld* w = plugin_->world();
    const LilvPlugin* p = plugin_->plugin();
    const Uri audio(w, LV2_CORE__AudioPort), control(w, LV2_CORE__ControlPort),
        cv(w, LV2_CORE__CVPort), atom(w, LV2_ATOM__AtomPort), input(w, LV2_CORE__InputPort),
        optional(w, LV2_CORE__connectionOptional), toggled(w, LV2_CORE__toggled),
        integer(w, LV2_CORE__integer), enumeration(w, LV2_CORE__enumeration),
        logarithmic(w, LV2_PORT_PROPS__logarithmic), designation(w, LV2_CORE__designation),
        enabled(w, LV2_CORE__enabled), latency(w, LV2_CORE__latency),
        reportsLatency(w, LV2_CORE__reportsLatency), sampleRate(w, LV2_PARAMETERS__sampleRate),
        freeWheeling(w, LV2_CORE__freeWheeling), unit(w, LV2_UNITS__unit),
        unitSymbol(w, LV2_UNITS__symbol), inPlaceBroken(w, LV2_CORE__inPlaceBroken);

    const std::uint32_t count = lilv_plugin_get_num_ports(p);
    std::vector<float> mins(count), maxs(count), defs(count);
    lilv_plugin_get_port_ranges_float(p, mins.data(), maxs.data(), defs.data());
    inPlaceBroken_ = lilv_plugin_has_feature(p, inPlaceBroken);
    for (std::uint32_t i = 0; i < count; ++i) {
        const LilvPort* lp = lilv_plugin_get_port_by_index(p, i);
        Port port;
        port.index = i;
        port.input = lilv_port_is_a(p, lp, input);
        port.symbol = lilv_node_as_string(lilv_port_get_symbol(p, lp));
        LilvNode* name = lilv_port_get_name(p, lp);
        port.name = name ? lilv_node_as_string(name) : port.symbol;
        lilv_node_free(name);
        if (lilv_port_is_a(p, lp, audio)) {
            port.kind = PortKind::Audio;
            (port.input ? audioIns_ : audioOuts_).push_back(i);
        } else if (lilv_port_is_a(p, lp, control)) {
            port.kind = PortKind::Control;
        } else if (lilv_port_is_a(p, lp, cv)) {
            port.kind = PortKind::CV;
        } else if (lilv_port_is_a(p, lp, atom)) {
            port.kind = PortKind::Atom;
        } else if (lilv_port_has_property(p, lp, optional)) {
            port.kind = PortKind::CV; // left unconnected below
        } else {
            throw LoadError(LoadError::Kind::NullEffect,
                            "LV2 plug-in '" + plugin_->descriptor().uri + "' has port '" +
                                port.symbol + "' of a type gravelix-host cannot host");
        }
        port.min = std::isnan(mins[i]) ? 0.0f : mins[i];
        port.max = std::isnan(maxs[i]) ? 1.0f : maxs[i];
        port.def = std::isnan(defs[i]) ? port.min : defs[i];
        port.toggled = lilv_port_has_property(p, lp, toggled);
        port.integer = lilv_port_has_property(p, lp, integer);
        port.enumeration = lilv_port_has_property(p, lp, enumeration);
        port.logarithmic =
            lilv_port_has_property(p, lp, logarithmic) && port.min > 0.0f && port.max > port.min;
        if (port.toggled && !(port.max > port.min)) {
            port.min = 0.0f;
            port.max = 1.0f;
        }
        if (LilvNodes* des = lilv_port_get_value(p, lp, designation)) {
            const LilvNode* first = lilv_nodes_get_first(des);
            if (lilv_node_equals(first, enabled)) {
                port.designation = Designation::Enabled;
            } else if (lilv_node_equals(first, latency)) {
                port.designation = Designation::Latency;
            } else if (lilv_node_equals(first, sampleRate)) {
                port.designation = Designation::SampleRate;
            } else if (lilv_node_equals(first, freeWheeling)) {
                port.designation = Designation::FreeWheeling;
            }
            lilv_nodes_free(des);
        }
        if (!port.input && port.kind == PortKind::Control &&
            lilv_port_has_property(p, lp, reportsLatency)) {
            port.designation = Designation::Latency;
        }
        if (LilvNodes* units = lilv_port_get_value(p, lp, unit)) {
            const LilvNode* u = lilv_nodes_get_first(units);
            if (lilv_node_is_uri(u)) {
                port.unit = firstText(lilv_world_find_nodes(w, u, unitSymbol, nullptr));
            }
            lilv_nodes_free(units);
        }
        if (LilvScalePoints* points = lilv_port_get_scale_points(p, lp)) {
            LILV_FOREACH(scale_points, j, points) {
                const LilvScalePoint* sp = lilv_scale_points_get(points, j);
                port.scalePoints.emplace_back(lilv_node_as_float(lilv_scale_point_get_value(sp)),
                                              lilv_node_as_string(lilv_scale_point_get_label(sp)));
            }
            lilv_scale_points_free(points);
            std::sort(port.scalePoints.begin(), port.scalePoints.end());
        }
        if (port.kind == PortKind::Control) {
            if (port.input && port.designation == Designation::Enabled) {
                enabledPort_ = static_cast<std::int32_t>(i);
            }
            if (!port.input && port.designation == Designation::Latency && latencyPort_ < 0) {
                latencyPort_ = static_cast<std::int32_t>(i);
            }
            if (!port.input) {
                controlOuts_.push_back(i);
            }
            if (port.input && port.designation != Designation::SampleRate &&
                port.designation != Designation::FreeWheeling) {
                parameters_.push_back(i);
            }
        }
        ports_.push_back(std::move(port));
    }
    target_ = std::make_unique<std::atomic<float>[]>(count);
    outputValue_ = std::make_unique<std::atomic<float>[]>(count);
    portMemory_.assign(count, 0.0f);
    for (const Port& port : ports_) {
        float v = port.def;
        if (port.designation == Designation::FreeWheeling) {
            v = 0.0f;
        }
        target_[port.index].store(v);
        outputValue_[port.index].store(v);
        portMemory_[port.index] = v;
    }
    atomBuffers_.resize(count);
}

void Lv2Bridge::readPresets() {
    std::lock_guard lock(plugin_->worldMutex());
    LilvWorld* w = plugin_->world();
    const Uri preset(w, LV2_PRESETS__Preset), label(w, LILV_NS_RDFS "label");
    LilvNodes* related = lilv_plugin_get_related(plugin_->plugin(), preset);
    LILV_FOREACH(nodes, i, related) {
        const LilvNode* node = lilv_nodes_get(related, i);
        lilv_world_load_resource(w, node);
        Preset pr;
        pr.uri = lilv_node_as_uri(node);
        pr.label = firstText(lilv_world_find_nodes(w, node, label, nullptr));
        if (pr.label.empty()) {
            const std::size_t cut = pr.uri.find_last_of("#/");
            pr.label = cut == std::string::npos ? pr.uri : pr.uri.substr(cut + 1);
        }
        presets_.push_back(std::move(pr));
    }
    lilv_nodes_free(related);
    // lilv gives no order of its own (nor does the data): the names', as a host's menu shows.
    std::stable_sort(presets_.begin(), presets_.end(),
                     [](const Preset& a, const Preset& b) { return a.label < b.label; });
    programValues_.resize(presets_.size());
}

void Lv2Bridge::findUi() {
    std::lock_guard lock(plugin_->worldMutex());
    const Uri x11(plugin_->world(), LV2_UI__X11UI);
    LilvUIs* uis = lilv_plugin_get_uis(plugin_->plugin());
    LILV_FOREACH(uis, i, uis) {
        const LilvUI* ui = lilv_uis_get(uis, i);
        if (!lilv_ui_is_a(ui, x11) || !lilv_ui_get_binary_uri(ui)) {
            continue;
        }
        char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
        char* bundle = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_bundle_uri(ui)), nullptr);
        if (binary && bundle) {
            uiInfo_ = {lilv_node_as_uri(lilv_ui_get_uri(ui)), bundle, binary};
            if (uiInfo_.bundle.empty() || uiInfo_.bundle.back() != '/') {
                uiInfo_.bundle += '/';
            }
        }
        lilv_free(binary);
        lilv_free(bundle);
        if (!uiInfo_.uri.empty()) {
            break;
        }
    }
    lilv_uis_free(uis);
}

VstInt32 Lv2Bridge::parameterOf(std::uint32_t port) const {
    const auto it = std::find(parameters_.begin(), parameters_.end(), port);
    return it == parameters_.end() ? -1 : static_cast<VstInt32>(it - parameters_.begin());
}

// An X11 UI says its size when it opens (ui:resize). Before that, the size the same UI last
// asked for in this process, or a window hosts commonly start from, which the UI resizes.
VstIntPtr Lv2Bridge::editorRect(void* ptr) {
    if (!ptr || !ui()) {
        return 0;
    }
    if (rect_.right <= 0 || rect_.bottom <= 0) {
        std::lock_guard lock(uiSizesMutex);
        const auto it = uiSizes.find(uiInfo_.uri);
        rect_ = it != uiSizes.end() ? it->second : ERect{0, 0, 300, 400};
    }
    *static_cast<ERect**>(ptr) = &rect_;
    return 1;
}

VstIntPtr Lv2Bridge::editorOpen(void* parent) {
    if (ui_ || !ui() || !parent) {
        return 0;
    }
    Lv2Ui::Callbacks callbacks;
    callbacks.write = [this](std::uint32_t port, float value) {
        const VstInt32 index = parameterOf(port);
        if (index < 0) {
            return;
        }
        setPortValue(port, value);
        uiValues_[port] = value;
        callback_(&effect_, audioMasterAutomate, index, 0, nullptr, normalisedValue(index, value));
    };
    callbacks.touch = [this](std::uint32_t port, bool grabbed) {
        const VstInt32 index = parameterOf(port);
        if (index >= 0) {
            callback_(&effect_, grabbed ? audioMasterBeginEdit : audioMasterEndEdit, index, 0,
                      nullptr, 0.0f);
        }
    };
    callbacks.resize = [this](int width, int height) {
        rect_ = {0, 0, static_cast<std::int16_t>(height), static_cast<std::int16_t>(width)};
        {
            std::lock_guard lock(uiSizesMutex);
            uiSizes[uiInfo_.uri] = rect_;
        }
        callback_(&effect_, audioMasterSizeWindow, width, height, nullptr, 0.0f);
        return true;
    };
    callbacks.portIndex = [this](const char* symbol) {
        for (const Port& port : ports_) {
            if (port.symbol == symbol) {
                return port.index;
            }
        }
        return static_cast<std::uint32_t>(LV2UI_INVALID_PORT_INDEX);
    };
    // The UI hears the values before it is made, as writes may come from its instantiate.
    uiValues_.assign(ports_.size(), 0.0f);
    try {
        ui_ = std::make_unique<Lv2Ui>(
            uiInfo_, plugin_->descriptor().uri,
            static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(parent)), scale_,
            std::move(callbacks));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gravelix-host: %s\n", e.what());
        return 0;
    }
    // The UI starts from every control's value, outputs (the latency) included.
    for (const Port& port : ports_) {
        if (port.kind == PortKind::Control) {
            uiValues_[port.index] = portValue(port.index);
            ui_->portEvent(port.index, uiValues_[port.index]);
        }
    }
    return 1;
}

// Values changed by the host or the plug-in since the UI last heard reach it before its idle.
void Lv2Bridge::editorIdle() {
    if (!ui_) {
        return;
    }
    for (const Port& port : ports_) {
        if (port.kind == PortKind::Control) {
            const float v = portValue(port.index);
            if (v != uiValues_[port.index]) {
                uiValues_[port.index] = v;
                ui_->portEvent(port.index, v);
            }
        }
    }
    ui_->idle();
}

void Lv2Bridge::makeFeatures() {
    Lv2UriMap& map = Lv2UriMap::instance();
    const LV2_URID intType = map.map(LV2_ATOM__Int), floatType = map.map(LV2_ATOM__Float);
    atomChunk_ = map.map(LV2_ATOM__Chunk);
    options_ = {{LV2_OPTIONS_INSTANCE, 0, map.map(LV2_BUF_SIZE__minBlockLength),
                 sizeof(std::int32_t), intType, &minBlock_},
                {LV2_OPTIONS_INSTANCE, 0, map.map(LV2_BUF_SIZE__maxBlockLength),
                 sizeof(std::int32_t), intType, &maxBlockOption_},
                {LV2_OPTIONS_INSTANCE, 0, map.map(LV2_BUF_SIZE__nominalBlockLength),
                 sizeof(std::int32_t), intType, &nominalBlock_},
                {LV2_OPTIONS_INSTANCE, 0, map.map(LV2_BUF_SIZE__sequenceSize), sizeof(std::int32_t),
                 intType, &sequenceSize_},
                {LV2_OPTIONS_INSTANCE, 0, map.map(LV2_PARAMETERS__sampleRate), sizeof(float),
                 floatType, &rateOption_},
                {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
    log_.handle = this;
    log_.printf = logPrintf;
    log_.vprintf = logVprintf;
    features_ = {{LV2_URID__map, map.mapFeature()},
                 {LV2_URID__unmap, map.unmapFeature()},
                 {LV2_OPTIONS__options, options_.data()},
                 {LV2_BUF_SIZE__boundedBlockLength, nullptr},
                 {LV2_LOG__log, &log_}};
    featureList_.clear();
    for (const LV2_Feature& f : features_) {
        featureList_.push_back(&f);
    }
    featureList_.push_back(nullptr);
}

int Lv2Bridge::logPrintf(LV2_Log_Handle handle, LV2_URID type, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    const int n = logVprintf(handle, type, format, ap);
    va_end(ap);
    return n;
}

int Lv2Bridge::logVprintf(LV2_Log_Handle, LV2_URID type, const char* format, va_list ap) {
    const char* kind = Lv2UriMap::instance().unmap(type);
    const char* hash = kind ? std::strrchr(kind, '#') : nullptr;
    std::fprintf(stderr, "gravelix-host: plug-in %s: ", hash ? hash + 1 : "log");
    return std::vfprintf(stderr, format, ap);
}

void Lv2Bridge::instantiate() {
    if (instance_) {
        lilv_instance_free(instance_);
        instance_ = nullptr;
    }
    rateOption_ = static_cast<float>(rate_);
    maxBlockOption_ = static_cast<std::int32_t>(maxFrames_);
    nominalBlock_ = maxBlockOption_;
    {
        std::lock_guard lock(plugin_->worldMutex());
        instance_ = lilv_plugin_instantiate(plugin_->plugin(), rate_, featureList_.data());
    }
    if (!instance_) {
        throw LoadError(LoadError::Kind::NullEffect, "LV2 plug-in '" + plugin_->descriptor().uri +
                                                         "' made no instance at " +
                                                         std::to_string(rate_) + " Hz");
    }
    instanceRate_ = rate_;
    instanceMaxFrames_ = maxFrames_;
    silence_.assign(maxFrames_, 0.0f);
    scratch_.assign(maxFrames_, 0.0f);
    inputCopies_.assign(inPlaceBroken_ ? maxFrames_ * audioIns_.size() : 0, 0.0f);
    connectControls();
    controlsChanged_.store(true);
}

// Main thread, while no block runs.
void Lv2Bridge::connectControls() {
    const LV2_URID sequence = Lv2UriMap::instance().map(LV2_ATOM__Sequence);
    for (const Port& port : ports_) {
        void* data = nullptr;
        switch (port.kind) {
        case PortKind::Control:
            if (port.designation == Designation::SampleRate) {
                target_[port.index].store(static_cast<float>(rate_));
            }
            portMemory_[port.index] = target_[port.index].load();
            data = &portMemory_[port.index];
            break;
        case PortKind::CV:
            data = port.input ? silence_.data() : scratch_.data();
            break;
        case PortKind::Atom: {
            auto& buffer = atomBuffers_[port.index];
            buffer.assign(kAtomWords, 0);
            auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(buffer.data());
            seq->atom.type = sequence;
            seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
            data = buffer.data();
            break;
        }
        case PortKind::Audio:
            data = port.input ? silence_.data() : scratch_.data();
            break;
        }
        lilv_instance_connect_port(instance_, port.index, data);
    }
}

const LV2_Descriptor* Lv2Bridge::descriptor() const {
    return instance_ ? lilv_instance_get_descriptor(instance_) : nullptr;
}

LV2_Handle Lv2Bridge::handle() const {
    return instance_ ? lilv_instance_get_handle(instance_) : nullptr;
}

double Lv2Bridge::plainValue(VstInt32 index, float normalised) const {
    const Port& port = ports_[parameters_[static_cast<std::size_t>(index)]];
    // NaN and values outside 0..1 are clamped as a VST 2.4 host's would be.
    const double n = normalised >= 0.0f ? std::min(normalised, 1.0f) : 0.0f;
    double v = port.logarithmic ? port.min * std::pow(static_cast<double>(port.max) / port.min, n)
                                : port.min + n * (static_cast<double>(port.max) - port.min);
    if (port.toggled) {
        v = n >= 0.5 ? port.max : port.min;
    } else if (port.integer || port.enumeration) {
        v = std::round(v);
    }
    return v;
}

float Lv2Bridge::normalisedValue(VstInt32 index, double plain) const {
    const Port& port = ports_[parameters_[static_cast<std::size_t>(index)]];
    const double span = static_cast<double>(port.max) - port.min;
    if (!(span > 0.0)) {
        return 0.0f;
    }
    double n = port.logarithmic && plain > 0.0
                   ? std::log(plain / port.min) / std::log(static_cast<double>(port.max) / port.min)
                   : (plain - port.min) / span;
    return static_cast<float>(n >= 0.0 ? std::min(n, 1.0) : 0.0);
}

float Lv2Bridge::portValue(std::uint32_t port) const {
    if (port >= ports_.size()) {
        return 0.0f;
    }
    return ports_[port].input ? target_[port].load() : outputValue_[port].load();
}

void Lv2Bridge::setPortValue(std::uint32_t port, float value) {
    if (port < ports_.size() && ports_[port].input && ports_[port].kind == PortKind::Control) {
        target_[port].store(value);
        controlsChanged_.store(true);
    }
}

void Lv2Bridge::setParameter(VstInt32 index, float value) {
    if (index >= 0 && static_cast<std::size_t>(index) < parameters_.size()) {
        setPortValue(parameters_[static_cast<std::size_t>(index)],
                     static_cast<float>(plainValue(index, value)));
    }
}

float Lv2Bridge::getParameter(VstInt32 index) {
    if (index < 0 || static_cast<std::size_t>(index) >= parameters_.size()) {
        return 0.0f;
    }
    return normalisedValue(index, target_[parameters_[static_cast<std::size_t>(index)]].load());
}

void Lv2Bridge::resume() {
    if (active_.load() || !plugin_) {
        return;
    }
    if (rate_ != instanceRate_ || maxFrames_ != instanceMaxFrames_) {
        instantiate();
    }
    lilv_instance_activate(instance_);
    if (latencyPort_ >= 0) {
        // The latency port holds its value once a run has set it: a run of no frames does.
        connectControls();
        lilv_instance_run(instance_, 0);
        outputValue_[static_cast<std::size_t>(latencyPort_)].store(
            portMemory_[static_cast<std::size_t>(latencyPort_)]);
        effect_.initialDelay =
            static_cast<VstInt32>(std::lround(portMemory_[static_cast<std::size_t>(latencyPort_)]));
    }
    active_.store(true);
}

void Lv2Bridge::suspend() {
    if (!active_.exchange(false)) {
        return;
    }
    while (inside_.load()) {
        std::this_thread::yield();
    }
    lilv_instance_deactivate(instance_);
}

// The caller's audio thread: no allocation, lock or host call.
void Lv2Bridge::process(float** inputs, float** outputs, VstInt32 frames) {
    inside_.store(true);
    if (!active_.load() || frames < 0) {
        inside_.store(false);
        for (VstInt32 c = 0; c < effect_.numOutputs; ++c) {
            std::fill(outputs[c], outputs[c] + std::max(frames, 0), 0.0f);
        }
        return;
    }
    if (controlsChanged_.exchange(false)) {
        for (std::uint32_t p : parameters_) {
            portMemory_[p] = target_[p].load();
        }
    }
    const LV2_Descriptor* d = lilv_instance_get_descriptor(instance_);
    LV2_Handle h = lilv_instance_get_handle(instance_);
    const LV2_URID chunk = atomChunk_;
    // Blocks longer than the instance allows go through in parts; a 0-frame block is run too,
    // as LV2 hosts may.
    VstInt32 done = 0;
    do {
        const auto part = static_cast<std::uint32_t>(
            std::min<std::int64_t>(frames - done, static_cast<std::int64_t>(instanceMaxFrames_)));
        for (std::size_t c = 0; c < audioIns_.size(); ++c) {
            float* in = inputs[c] + done;
            if (inPlaceBroken_) {
                float* copy = inputCopies_.data() + c * instanceMaxFrames_;
                std::copy(in, in + part, copy);
                in = copy;
            }
            d->connect_port(h, audioIns_[c], in);
        }
        for (std::size_t c = 0; c < audioOuts_.size(); ++c) {
            d->connect_port(h, audioOuts_[c], outputs[c] + done);
        }
        for (const Port& port : ports_) {
            if (port.kind == PortKind::Atom && !port.input) {
                auto* atom = reinterpret_cast<LV2_Atom*>(atomBuffers_[port.index].data());
                atom->type = chunk;
                atom->size = kAtomWords * sizeof(std::uint64_t) - sizeof(LV2_Atom);
            }
        }
        d->run(h, part);
        done += static_cast<VstInt32>(part);
    } while (done < frames);
    for (std::uint32_t p : controlOuts_) {
        outputValue_[p].store(portMemory_[p], std::memory_order_relaxed);
    }
    inside_.store(false);
}

VstIntPtr Lv2Bridge::loadPreset(VstIntPtr index) {
    // The current program keeps its edits; the first choice always loads, since a new
    // instance's values are its ports' defaults, not its first preset's.
    if (index < 0 || static_cast<std::size_t>(index) >= presets_.size() ||
        (index == program_ && programChosen_)) {
        return 0;
    }
    // A VST 2.4 program keeps its edits until the host switches back to it; a preset is read
    // afresh each time, so the values left in a program are kept and restored on return. Before
    // the first choice the values are no program's.
    if (programChosen_) {
        std::vector<float> current(ports_.size());
        for (std::size_t i = 0; i < ports_.size(); ++i) {
            current[i] = target_[i].load();
        }
        programValues_[static_cast<std::size_t>(program_)] = std::move(current);
    }
    programChosen_ = true;
    program_ = static_cast<VstInt32>(index);
    const auto& kept = programValues_[static_cast<std::size_t>(index)];
    if (!kept.empty()) {
        for (std::uint32_t p : parameters_) {
            setPortValue(p, kept[p]);
        }
        return 0;
    }
    std::lock_guard lock(plugin_->worldMutex());
    LilvNode* uri =
        lilv_new_uri(plugin_->world(), presets_[static_cast<std::size_t>(index)].uri.c_str());
    LilvState* state =
        lilv_state_new_from_world(plugin_->world(), Lv2UriMap::instance().mapFeature(), uri);
    lilv_node_free(uri);
    if (state) {
        // Port values only: a preset's other properties would need the plug-in's state
        // interface, which must not run beside its blocks.
        lilv_state_emit_port_values(
            state,
            [](const char* symbol, void* self, const void* value, std::uint32_t size,
               std::uint32_t type) {
                auto* bridge = static_cast<Lv2Bridge*>(self);
                Lv2UriMap& map = Lv2UriMap::instance();
                float v = 0.0f;
                if (type == map.map(LV2_ATOM__Float) && size == sizeof(float)) {
                    std::memcpy(&v, value, sizeof v);
                } else if (type == map.map(LV2_ATOM__Double) && size == sizeof(double)) {
                    double d = 0.0;
                    std::memcpy(&d, value, sizeof d);
                    v = static_cast<float>(d);
                } else if ((type == map.map(LV2_ATOM__Int) || type == map.map(LV2_ATOM__Bool)) &&
                           size == sizeof(std::int32_t)) {
                    std::int32_t i = 0;
                    std::memcpy(&i, value, sizeof i);
                    v = static_cast<float>(i);
                } else if (type == map.map(LV2_ATOM__Long) && size == sizeof(std::int64_t)) {
                    std::int64_t l = 0;
                    std::memcpy(&l, value, sizeof l);
                    v = static_cast<float>(l);
                } else {
                    return;
                }
                for (const Port& port : bridge->ports_) {
                    if (port.symbol == symbol) {
                        bridge->setPortValue(port.index, v);
                    }
                }
            },
            this);
        lilv_state_free(state);
    }
    return 0;
}

std::string Lv2Bridge::display(VstInt32 index) const {
    const Port& port = ports_[parameters_[static_cast<std::size_t>(index)]];
    const float v = target_[port.index].load();
    for (const auto& [value, label] : port.scalePoints) {
        if (value == v) {
            return label;
        }
    }
    if (port.toggled) {
        return v > port.min ? "on" : "off";
    }
    char text[32];
    std::snprintf(text, sizeof text, (port.integer || port.enumeration) ? "%.0f" : "%.4g",
                  static_cast<double>(v));
    return text;
}

bool Lv2Bridge::parse(VstInt32 index, const char* text) {
    const Port& port = ports_[parameters_[static_cast<std::size_t>(index)]];
    float v = 0.0f;
    bool found = false;
    for (const auto& [value, label] : port.scalePoints) {
        if (strcasecmp(label.c_str(), text) == 0) {
            v = value;
            found = true;
        }
    }
    if (!found && port.toggled) {
        if (strcasecmp(text, "on") == 0 || strcasecmp(text, "off") == 0) {
            v = strcasecmp(text, "on") == 0 ? port.max : port.min;
            found = true;
        }
    }
    if (!found) {
        char* end = nullptr;
        v = std::strtof(text, &end);
        if (end == text || !std::isfinite(v)) {
            return false;
        }
    }
    setPortValue(port.index,
                 std::clamp(v, std::min(port.min, port.max), std::max(port.min, port.max)));
    return true;
}

void Lv2Bridge::idle() {
    if (latencyPort_ >= 0 && active_.load()) {
        const auto delay = static_cast<VstInt32>(
            std::lround(outputValue_[static_cast<std::size_t>(latencyPort_)].load()));
        if (delay != effect_.initialDelay) {
            effect_.initialDelay = delay;
            callback_(&effect_, audioMasterIOChanged, 0, 0, nullptr, 0.0f);
        }
    }
}

void Lv2Bridge::close() {
    if (!instance_) {
        return;
    }
    ui_.reset();
    suspend();
    lilv_instance_free(instance_);
    instance_ = nullptr;
}

VstIntPtr Lv2Bridge::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt) {
    if (!instance_) {
        return 0;
    }
    const bool inRange = index >= 0 && static_cast<std::size_t>(index) < parameters_.size();
    const Lv2Descriptor& d = plugin_->descriptor();
    switch (opcode) {
    case effClose:
        close();
        return 0;
    case effSetProgram:
        return loadPreset(value);
    case effGetProgram:
        return program_;
    case effGetProgramName:
        copyText(ptr,
                 presets_.empty() ? std::string()
                                  : presets_[static_cast<std::size_t>(program_)].label,
                 kProgramNameLimit);
        return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || static_cast<std::size_t>(index) >= presets_.size()) {
            return 0;
        }
        copyText(ptr, presets_[static_cast<std::size_t>(index)].label, kProgramNameLimit);
        return 1;
    case effGetParamLabel:
        if (inRange) {
            copyText(ptr, ports_[parameters_[static_cast<std::size_t>(index)]].unit,
                     kParamTextLimit);
        }
        return 0;
    case effGetParamDisplay:
        if (inRange) {
            copyText(ptr, display(index), kParamTextLimit);
        }
        return 0;
    case effGetParamName:
        if (inRange) {
            copyText(ptr, ports_[parameters_[static_cast<std::size_t>(index)]].name,
                     kParamNameLimit);
        }
        return 0;
    case effString2Parameter:
        return inRange && ptr && parse(index, static_cast<const char*>(ptr)) ? 1 : 0;
    case effCanBeAutomated:
        return inRange ? 1 : 0;
    case effSetSampleRate:
        if (opt > 0.0f && std::isfinite(opt)) {
            rate_ = opt;
            if (active_.load()) {
                suspend();
                resume();
            }
        }
        return 0;
    case effSetBlockSize:
        if (value > 0 && value <= (1 << 20)) {
            maxFrames_ = static_cast<std::uint32_t>(value);
            if (active_.load()) {
                suspend();
                resume();
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
        ui_.reset();
        return 1;
    case effEditIdle:
        idle();
        editorIdle();
        return 0;
    case effIdle:
        idle();
        return 0;
    case effVendorSpecific:
        // The window scale our commands tell VST 2.4 editors is the UI's ui:scaleFactor, for
        // the next time it opens.
        if (index == kScaleMessage && value == kScaleValue && std::isfinite(opt) && opt > 0.0f) {
            scale_ = opt;
            return 1;
        }
        return 0;
    case effSetBypass:
        if (enabledPort_ < 0) {
            return 0;
        }
        setPortValue(static_cast<std::uint32_t>(enabledPort_), value ? 0.0f : 1.0f);
        return 1;
    case effCanDo:
        return ptr && enabledPort_ >= 0 && std::strcmp(static_cast<const char*>(ptr), "bypass") == 0
                   ? 1
                   : 0;
    case effGetEffectName:
        copyText(ptr, d.name, kEffectNameLimit);
        return 1;
    case effGetVendorString:
        copyText(ptr, d.author, kVendorLimit);
        return 1;
    case effGetProductString:
        copyText(ptr, d.name, kVendorLimit);
        return 1;
    case effGetVendorVersion:
        return effect_.version;
    case effGetVstVersion:
        return kVstVersion;
    default:
        return 0;
    }
}

} // namespace gravelix::host

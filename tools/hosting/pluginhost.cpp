#include "pluginhost.h"
#include "threadclock.h"

#include "sharedlibrary.h"
#ifdef GRAVELIX_HOST_WITH_VST3
#include "vst3bridge.h"
#else
// Never made in such a build; complete only so that the host's pointer to one can be destroyed.
namespace gravelix::host {
class Vst3Bridge {};
} // namespace gravelix::host
#endif
#ifdef GRAVELIX_HOST_WITH_CLAP
#include "clapbridge.h"
#endif
#ifdef GRAVELIX_HOST_WITH_LV2
#include "lv2bridge.h"
#include "lv2plugin.h"
#else
namespace gravelix::host {
class Lv2Bridge {};
} // namespace gravelix::host
#endif

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>

namespace gravelix::host {

namespace {

// Open effects, found by the callback through an index the host keeps in the record's
// host-reserved field: a lookup without a lock. The table only changes on loading and closing.
// A plug-in calling back before the entry point has returned (the version query, or calls from
// its constructor) cannot be looked up yet; those calls belong to the load running on the same
// thread.
constexpr std::size_t kSlots = 4096;
std::atomic<HostState*> slots[kSlots];
std::mutex slotsMutex;
thread_local HostState* loadingState = nullptr;
// The state whose plug-in this thread is processing, if any.
thread_local const HostState* processingState = nullptr;
// Answers getTime on threads that are not processing; valid until that thread asks again.
thread_local VstTimeInfo otherThreadInfo{};
std::atomic<const PluginHost::ProcessWatch*> processWatch{nullptr};

// Called on any thread; no lock.
HostState* stateFor(const AEffect* effect) {
    if (effect) {
        // A record the plug-in scribbled on must not lead anywhere: the index is checked and
        // the state must name this very record.
        const auto index = static_cast<std::size_t>(effect->resvd1);
        if (index > 0 && index < kSlots) {
            HostState* state = slots[index].load(std::memory_order_acquire);
            if (state && state->effect() == effect) {
                return state;
            }
        }
    }
    return loadingState;
}

// Host capabilities answered with 1; every other canDo string gets 0.
bool hostCan(const char* what, bool sizeWindow) {
    if (std::strcmp(what, "sendVstTimeInfo") == 0) {
        return true;
    }
    return sizeWindow && std::strcmp(what, "sizeWindow") == 0;
}

void copyText(void* ptr, const char* text, std::size_t maxLen) {
    if (ptr) {
        std::snprintf(static_cast<char*>(ptr), maxLen + 1, "%s", text);
    }
}

std::string lowerTrimmed(const std::string& text) {
    auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) {
        return {};
    }
    auto end = text.find_last_not_of(" \t");
    std::string out = text.substr(begin, end - begin + 1);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The first index below count whose name matches, ignoring case and surrounding blanks; -1 for
// none.
template <class NameOf>
VstInt32 findByName(const std::string& name, VstInt32 count, NameOf nameOf) {
    const std::string wanted = lowerTrimmed(name);
    for (VstInt32 i = 0; i < count; ++i) {
        if (lowerTrimmed(nameOf(i)) == wanted) {
            return i;
        }
    }
    return -1;
}

using EntryPoint = AEffect* (*)(audioMasterCallback);

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Makes `handler` the one the callback calls, or none when it is empty. A replaced handler
// stays in `kept`: the plug-in may be inside it on another thread. Called under the state's
// handler lock.
template <class Handler>
void install(Handler handler, std::vector<std::unique_ptr<Handler>>& kept,
             std::atomic<const Handler*>& current) {
    if (!handler) {
        current.store(nullptr, std::memory_order_release);
        return;
    }
    kept.push_back(std::make_unique<Handler>(std::move(handler)));
    current.store(kept.back().get(), std::memory_order_release);
}

} // namespace

VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) {
    if (HostState* state = stateFor(effect)) {
        return state->answer(effect, opcode, index, value, ptr, opt);
    }
    // A call from an effect we do not know (e.g. a stray thread after close): answer
    // the version so nothing misbehaves, record nothing.
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

HostState::HostState() = default;
HostState::~HostState() = default;

// Called on any thread the plug-in uses, the audio thread included; no lock, no allocation.
VstIntPtr HostState::answer(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                            float opt) {
    const HostCall call{opcode, index, value, opt, std::this_thread::get_id()};
    recorder_.record(call);
    if (const Listener* listener = listener_.load(std::memory_order_acquire); listener) {
        (*listener)(call);
    }
    const SizeWindowHandler* sizeWindow = sizeWindow_.load(std::memory_order_acquire);

    switch (opcode) {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterAutomate:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
    case audioMasterUpdateDisplay:
        return 1;
    case audioMasterSizeWindow:
        return sizeWindow && (*sizeWindow)(index, static_cast<int>(value)) ? 1 : 0;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(timeInfo());
    case audioMasterTempoAt:
        // The tempo never changes along the timeline.
        return static_cast<VstIntPtr>(transport_.tempo * 10000.0);
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate_.load());
    case audioMasterGetBlockSize:
        return blockSize_.load();
    case audioMasterGetCurrentProcessLevel: {
        const VstInt32 level = processLevel_.load();
        if (level == kVstProcessLevelRealtime && !processingHere()) {
            return kVstProcessLevelUser;
        }
        return level;
    }
    case audioMasterGetAutomationState:
        // Automation messages are taken, but nothing is written or played back.
        return kVstAutomationOff;
    case audioMasterWillReplaceOrAccumulate:
        // Replacing whenever the plug-in offers it.
        return 1;
    case audioMasterGetVendorString:
        copyText(ptr, "Gravelix", 63);
        return 1;
    case audioMasterGetProductString:
        copyText(ptr, "gravelix-host", 63);
        return 1;
    case audioMasterGetVendorVersion:
        return 1000;
    case audioMasterGetLanguage:
        return 1; // English
    case audioMasterCanDo:
        return ptr && hostCan(static_cast<const char*>(ptr), sizeWindow != nullptr) ? 1 : 0;
    default:
        // Pins connected (0), no MIDI, no latency, no shell, no directory: 0 is the answer.
        return 0;
    }
}

bool HostState::processingHere() const {
    return processingState == this;
}

// The processing thread gets the block's record, filled once per block; any other thread a
// record of its own from the position the last block ended at.
VstTimeInfo* HostState::timeInfo() {
    const double rate = sampleRate_.load();
    if (processingHere()) {
        if (!blockInfoFilled_) {
            fillTimeInfo(blockInfo_, transport_, rate, position_.load(std::memory_order_relaxed),
                         true, transportChanged_);
            blockInfoFilled_ = true;
        }
        return &blockInfo_;
    }
    fillTimeInfo(otherThreadInfo, transport_, rate, position_.load(std::memory_order_acquire),
                 running_.load(), false);
    return &otherThreadInfo;
}

void HostState::setTransport(const TransportSettings& settings) {
    checkTransport(settings);
    transport_ = settings;
}

void HostState::locate(long long frame) {
    position_.store(frame < 0 ? 0 : frame, std::memory_order_release);
}

// Called on the processing thread; no allocation, no lock.
void HostState::beginBlock() {
    processingState = this;
    blockInfoFilled_ = false;
}

// Called on the processing thread; no allocation, no lock.
void HostState::endBlock(VstInt32 frames) {
    processingState = nullptr;
    transportChanged_ = false;
    position_.store(position_.load(std::memory_order_relaxed) + (frames > 0 ? frames : 0),
                    std::memory_order_release);
}

void HostState::setRunning(bool running) {
    running_.store(running);
    transportChanged_ = true;
}

void HostState::setListener(Listener listener) {
    std::lock_guard lock(handlersMutex_);
    install(std::move(listener), listeners_, listener_);
}

void HostState::setSizeWindowHandler(SizeWindowHandler handler) {
    std::lock_guard lock(handlersMutex_);
    install(std::move(handler), sizeWindows_, sizeWindow_);
}

PluginHost::PluginHost(const std::string& path, const std::string& pluginId)
    : path_(path), state_(std::make_unique<HostState>()) {
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (isLv2Path(path)) {
        loadLv2(pluginId);
        return;
    }
    if (!std::filesystem::exists(status)) {
        throw LoadError(LoadError::Kind::MissingFile, "cannot load '" + path + "': no such file");
    }
    if (isVst3Path(path)) {
        loadVst3(pluginId);
        return;
    }
    if (std::filesystem::is_directory(status)) {
        throw LoadError(LoadError::Kind::NotSharedLibrary,
                        "cannot load '" + path +
                            "': it is a folder, neither a shared library nor an LV2 bundle (a "
                            "folder ending in .lv2 or holding a manifest.ttl)");
    }
    if (isClapPath(path)) {
        loadClap(pluginId);
        return;
    }
    if (!pluginId.empty()) {
        throw LoadError(LoadError::Kind::UnknownPlugin,
                        "'" + path + "' is a VST 2.4 library holding one plug-in: --plugin " +
                            pluginId + " applies to CLAP files, VST3 modules and LV2 bundles");
    }
    loadVst();
}

bool PluginHost::isClapPath(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".clap";
}

bool PluginHost::clapSupported() {
#ifdef GRAVELIX_HOST_WITH_CLAP
    return true;
#else
    return false;
#endif
}

void PluginHost::loadClap([[maybe_unused]] const std::string& pluginId) {
#ifdef GRAVELIX_HOST_WITH_CLAP
    // The plug-in may call back while it initialises, before its record is known.
    loadingState = state_.get();
    const double cpuStart = threadCpuSeconds();
    try {
        clap_ = std::make_unique<ClapBridge>(path_, pluginId, hostCallback);
    } catch (...) {
        loadingState = nullptr;
        throw;
    }
    loadingState = nullptr;
    timing_.libraryWallSeconds = clap_->librarySeconds();
    timing_.entryWallSeconds = clap_->entrySeconds();
    timing_.entryCpuSeconds = threadCpuSeconds() - cpuStart;
    clapPlugins_ = clap_->plugins();
    clapChosen_ = static_cast<int>(clap_->chosen());
    try {
        adopt(clap_->effect());
    } catch (...) {
        clap_.reset();
        throw;
    }
#else
    throw LoadError(LoadError::Kind::NotSharedLibrary,
                    "cannot load '" + path_ + "': this gravelix-host was built without CLAP");
#endif
}

bool PluginHost::isVst3Path(const std::string& path) {
    for (std::filesystem::path p = std::filesystem::path(path).lexically_normal();
         p.has_relative_path(); p = p.parent_path()) {
        std::string ext = p.extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (ext == ".vst3") {
            return true;
        }
        if (!p.has_filename()) {
            continue;
        }
        if (p == p.parent_path()) {
            break;
        }
    }
    return false;
}

bool PluginHost::vst3Supported() {
#ifdef GRAVELIX_HOST_WITH_VST3
    return true;
#else
    return false;
#endif
}

bool PluginHost::isLv2Path(const std::string& path) {
#ifdef GRAVELIX_HOST_WITH_LV2
    std::error_code ec;
    // An existing file is never a URI, whatever its name looks like.
    return Lv2Plugin::isBundle(path) ||
           (Lv2Plugin::isUri(path) && !std::filesystem::exists(path, ec));
#else
    (void)path;
    return false;
#endif
}

bool PluginHost::lv2Supported() {
#ifdef GRAVELIX_HOST_WITH_LV2
    return true;
#else
    return false;
#endif
}

void PluginHost::loadVst3([[maybe_unused]] const std::string& pluginId) {
#ifdef GRAVELIX_HOST_WITH_VST3
    // The plug-in may call back while it initialises, before its record is known.
    loadingState = state_.get();
    const double cpuStart = threadCpuSeconds();
    try {
        vst3_ = std::make_unique<Vst3Bridge>(path_, pluginId, hostCallback);
    } catch (...) {
        loadingState = nullptr;
        throw;
    }
    loadingState = nullptr;
    timing_.libraryWallSeconds = vst3_->librarySeconds();
    timing_.entryWallSeconds = vst3_->entrySeconds();
    timing_.entryCpuSeconds = threadCpuSeconds() - cpuStart;
    vst3Plugins_ = vst3_->plugins();
    vst3Chosen_ = static_cast<int>(vst3_->chosen());
    try {
        adopt(vst3_->effect());
    } catch (...) {
        vst3_.reset();
        throw;
    }
#else
    throw LoadError(LoadError::Kind::NotSharedLibrary,
                    "cannot load '" + path_ + "': this gravelix-host was built without VST3");
#endif
}

void PluginHost::loadLv2([[maybe_unused]] const std::string& pluginUri) {
#ifdef GRAVELIX_HOST_WITH_LV2
    loadingState = state_.get();
    try {
        lv2_ = std::make_unique<Lv2Bridge>(path_, pluginUri, hostCallback);
    } catch (...) {
        loadingState = nullptr;
        throw;
    }
    loadingState = nullptr;
    // Reading the data is the library's part; the entry's is the instance's own.
    timing_.libraryWallSeconds = lv2_->librarySeconds();
    timing_.entryWallSeconds = lv2_->entrySeconds();
    timing_.entryCpuSeconds = lv2_->entryCpuSeconds();
    lv2Plugins_ = lv2_->plugin().plugins();
    lv2Chosen_ = static_cast<int>(lv2_->plugin().chosen());
    try {
        adopt(lv2_->effect());
    } catch (...) {
        lv2_.reset();
        throw;
    }
#endif
}

void PluginHost::loadVst() {
    const std::string& path = path_;
    std::string reason;
    const double libraryStart = wallSeconds();
    library_ = openSharedLibrary(path, reason);
    timing_.libraryWallSeconds = wallSeconds() - libraryStart;
    if (!library_) {
        throw LoadError(LoadError::Kind::NotSharedLibrary,
                        "cannot load '" + path + "' as a shared library: " + reason);
    }

    auto entry = reinterpret_cast<EntryPoint>(sharedLibrarySymbol(library_, "VSTPluginMain"));
    if (!entry) {
        entry = reinterpret_cast<EntryPoint>(sharedLibrarySymbol(library_, "main"));
    }
    if (!entry) {
        closeSharedLibrary(library_);
        throw LoadError(LoadError::Kind::NoEntryPoint,
                        "'" + path +
                            "' is not a plug-in: it exports neither VSTPluginMain nor main");
    }

    loadingState = state_.get();
    AEffect* effect = nullptr;
    bool threw = false;
    const double entryCpuStart = threadCpuSeconds();
    const double entryStart = wallSeconds();
    try {
        effect = entry(hostCallback);
    } catch (...) {
        threw = true;
    }
    timing_.entryWallSeconds = wallSeconds() - entryStart;
    timing_.entryCpuSeconds = threadCpuSeconds() - entryCpuStart;
    loadingState = nullptr;

    if (!effect) {
        closeSharedLibrary(library_);
        throw LoadError(LoadError::Kind::NullEffect,
                        threw ? "the entry point of '" + path + "' threw an exception"
                              : "the entry point of '" + path + "' returned no effect");
    }
    if (effect->magic != kEffectMagic) {
        // The record cannot be trusted, so nothing is called through it; the library goes.
        char text[96];
        std::snprintf(text, sizeof text,
                      "wrong magic 0x%08X in its effect record (expected 0x%08X)",
                      static_cast<unsigned>(effect->magic), static_cast<unsigned>(kEffectMagic));
        closeSharedLibrary(library_);
        throw LoadError(LoadError::Kind::BadMagic, "'" + path + "' returned " + text);
    }

    adopt(effect);
}

// Registers the record for the callback's lookup and opens it.
void PluginHost::adopt(AEffect* effect) {
    {
        std::lock_guard lock(slotsMutex);
        std::size_t free = 1;
        while (free < kSlots && slots[free].load(std::memory_order_relaxed)) {
            ++free;
        }
        if (free == kSlots) {
            // Not opened, so only the library goes; the record is the plug-in's to leak.
            if (library_) {
                closeSharedLibrary(library_);
                library_ = nullptr;
            }
            throw LoadError(LoadError::Kind::TooManyInstances,
                            "cannot load '" + path_ + "': " + std::to_string(kSlots - 1) +
                                " plug-ins are open already");
        }
        state_->effect_ = effect;
        state_->slot_ = free;
        effect->resvd1 = static_cast<VstIntPtr>(free);
        slots[free].store(state_.get(), std::memory_order_release);
    }
    effect_ = effect;
    dispatch(effOpen);
}

PluginHost::~PluginHost() {
    release();
}

PluginHost::PluginHost(PluginHost&& other) noexcept
    : path_(std::move(other.path_)), library_(std::exchange(other.library_, nullptr)),
      effect_(std::exchange(other.effect_, nullptr)), state_(std::move(other.state_)),
      resumed_(std::exchange(other.resumed_, false)), timing_(other.timing_),
      clap_(std::move(other.clap_)), clapPlugins_(std::move(other.clapPlugins_)),
      clapChosen_(std::exchange(other.clapChosen_, -1)), vst3_(std::move(other.vst3_)),
      vst3Plugins_(std::move(other.vst3Plugins_)),
      vst3Chosen_(std::exchange(other.vst3Chosen_, -1)), lv2_(std::move(other.lv2_)),
      lv2Plugins_(std::move(other.lv2Plugins_)), lv2Chosen_(std::exchange(other.lv2Chosen_, -1)) {}

PluginHost& PluginHost::operator=(PluginHost&& other) noexcept {
    if (this != &other) {
        release();
        path_ = std::move(other.path_);
        library_ = std::exchange(other.library_, nullptr);
        effect_ = std::exchange(other.effect_, nullptr);
        state_ = std::move(other.state_);
        resumed_ = std::exchange(other.resumed_, false);
        timing_ = other.timing_;
        clap_ = std::move(other.clap_);
        clapPlugins_ = std::move(other.clapPlugins_);
        clapChosen_ = std::exchange(other.clapChosen_, -1);
        vst3_ = std::move(other.vst3_);
        vst3Plugins_ = std::move(other.vst3Plugins_);
        vst3Chosen_ = std::exchange(other.vst3Chosen_, -1);
        lv2_ = std::move(other.lv2_);
        lv2Plugins_ = std::move(other.lv2Plugins_);
        lv2Chosen_ = std::exchange(other.lv2Chosen_, -1);
    }
    return *this;
}

void PluginHost::close() {
    release();
}

void PluginHost::release() noexcept {
    if (effect_) {
        if (resumed_) {
            suspend();
        }
        effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
        std::lock_guard lock(slotsMutex);
        slots[state_->slot_].store(nullptr, std::memory_order_release);
        state_->slot_ = 0;
        effect_ = nullptr;
    }
    if (library_) {
        closeSharedLibrary(library_);
        library_ = nullptr;
    }
    // The bridges own their libraries; their records are closed above.
    clap_.reset();
    vst3_.reset();
    lv2_.reset();
}

VstIntPtr PluginHost::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) const {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginHost::readText(VstInt32 opcode, VstInt32 index) const {
    // Far larger than any conventional length: plug-ins often write past the nominal limit.
    std::array<char, 1024> buffer{};
    dispatch(opcode, index, 0, buffer.data(), 0.0f);
    buffer.back() = '\0';
    return buffer.data();
}

std::string PluginHost::effectName() const {
    return readText(effGetEffectName, 0);
}
std::string PluginHost::vendorString() const {
    return readText(effGetVendorString, 0);
}
std::string PluginHost::productString() const {
    return readText(effGetProductString, 0);
}
VstInt32 PluginHost::vendorVersion() const {
    return static_cast<VstInt32>(dispatch(effGetVendorVersion));
}

std::string PluginHost::parameterName(VstInt32 index) const {
    return readText(effGetParamName, index);
}
std::string PluginHost::parameterLabel(VstInt32 index) const {
    return readText(effGetParamLabel, index);
}
std::string PluginHost::parameterDisplay(VstInt32 index) const {
    return readText(effGetParamDisplay, index);
}
float PluginHost::getParameter(VstInt32 index) const {
    return effect_->getParameter(effect_, index);
}
void PluginHost::setParameter(VstInt32 index, float value) const {
    effect_->setParameter(effect_, index, value);
}

VstInt32 PluginHost::findParameter(const std::string& name) const {
    return findByName(name, numParams(), [this](VstInt32 i) { return parameterName(i); });
}

std::string PluginHost::programName(VstInt32 index) const {
    std::array<char, 1024> buffer{};
    if (dispatch(effGetProgramNameIndexed, index, 0, buffer.data()) == 1) {
        buffer.back() = '\0';
        return buffer.data();
    }
    const VstInt32 current = currentProgram();
    if (index == current) {
        return readText(effGetProgramName, 0);
    }
    setProgram(index);
    std::string name = readText(effGetProgramName, 0);
    setProgram(current);
    return name;
}

VstInt32 PluginHost::currentProgram() const {
    return static_cast<VstInt32>(dispatch(effGetProgram));
}

void PluginHost::setProgram(VstInt32 index) const {
    dispatch(effBeginSetProgram);
    dispatch(effSetProgram, 0, index);
    dispatch(effEndSetProgram);
}

VstInt32 PluginHost::findProgram(const std::string& name) const {
    return findByName(name, numPrograms(), [this](VstInt32 i) { return programName(i); });
}

void PluginHost::setSampleRate(float rate) const {
    state_->setSampleRate(rate);
    dispatch(effSetSampleRate, 0, 0, nullptr, rate);
}

void PluginHost::setBlockSize(VstInt32 frames) const {
    state_->setBlockSize(frames);
    dispatch(effSetBlockSize, 0, frames);
}

void PluginHost::resume() const {
    dispatch(effMainsChanged, 0, 1);
    state_->setRunning(true);
    resumed_ = true;
}

void PluginHost::suspend() const {
    dispatch(effMainsChanged, 0, 0);
    state_->setRunning(false);
    resumed_ = false;
}

// Called on the caller's audio thread; adds no allocation or locking of its own.
void PluginHost::process(float** inputs, float** outputs, VstInt32 frames) const {
    const ProcessWatch* watch = processWatch.load(std::memory_order_relaxed);
    if (watch && watch->enter) {
        watch->enter();
    }
    state_->beginBlock();
    if ((effect_->flags & effFlagsCanReplacing) && effect_->processReplacing) {
        effect_->processReplacing(effect_, inputs, outputs, frames);
    } else {
        effect_->process(effect_, inputs, outputs, frames);
    }
    state_->endBlock(frames);
    if (watch && watch->leave) {
        watch->leave();
    }
}

void PluginHost::prepareThread() {
    // Touching each variable is enough; the values stay as they are.
    const void* volatile touched = &loadingState;
    touched = &processingState;
    touched = &otherThreadInfo;
    (void)touched;
    // Each call records the thread's id: the thread library makes one for a thread it did not
    // start on first asking.
    (void)std::this_thread::get_id();
    CallRecorder::prepareThread();
}

void PluginHost::setProcessWatch(const ProcessWatch* watch) {
    processWatch.store(watch, std::memory_order_release);
}

const char* hostOpcodeName(VstInt32 opcode) {
    switch (opcode) {
    case audioMasterAutomate:
        return "automate";
    case audioMasterVersion:
        return "version";
    case audioMasterCurrentId:
        return "currentId";
    case audioMasterIdle:
        return "idle";
    case audioMasterPinConnected:
        return "pinConnected";
    case audioMasterWantMidi:
        return "wantMidi";
    case audioMasterGetTime:
        return "getTime";
    case audioMasterSizeWindow:
        return "sizeWindow";
    case audioMasterGetSampleRate:
        return "getSampleRate";
    case audioMasterGetBlockSize:
        return "getBlockSize";
    case audioMasterCanDo:
        return "canDo";
    case audioMasterUpdateDisplay:
        return "updateDisplay";
    case audioMasterBeginEdit:
        return "beginEdit";
    case audioMasterEndEdit:
        return "endEdit";
    case audioMasterTempoAt:
        return "tempoAt";
    case audioMasterGetCurrentProcessLevel:
        return "getCurrentProcessLevel";
    case audioMasterGetAutomationState:
        return "getAutomationState";
    default:
        return "other";
    }
}

std::string fourCharacters(VstInt32 id) {
    std::string out;
    const auto bits = static_cast<std::uint32_t>(id);
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(bits >> shift);
        out += std::isprint(c) ? static_cast<char>(c) : '.';
    }
    return out;
}

std::string describeFlags(VstInt32 flags) {
    static constexpr std::pair<VstInt32, const char*> names[] = {
        {effFlagsHasEditor, "HasEditor"},
        {effFlagsHasClip, "HasClip"},
        {effFlagsHasVu, "HasVu"},
        {effFlagsCanMono, "CanMono"},
        {effFlagsCanReplacing, "CanReplacing"},
        {effFlagsProgramChunks, "ProgramChunks"},
        {effFlagsIsSynth, "IsSynth"},
        {effFlagsNoSoundInStop, "NoSoundInStop"},
        {effFlagsExtIsAsync, "ExtIsAsync"},
        {effFlagsExtHasBuffer, "ExtHasBuffer"},
        {effFlagsCanDoubleReplacing, "CanDoubleReplacing"},
    };
    std::string out;
    VstInt32 known = 0;
    for (auto [bit, name] : names) {
        known |= bit;
        if (flags & bit) {
            out += out.empty() ? "" : " ";
            out += name;
        }
    }
    if (const VstInt32 rest = flags & ~known) {
        char text[32];
        std::snprintf(text, sizeof text, "%sunknown 0x%X", out.empty() ? "" : " ",
                      static_cast<unsigned>(rest));
        out += text;
    }
    return out.empty() ? "none" : out;
}

} // namespace gravelix::host

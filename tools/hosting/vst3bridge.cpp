#include "vst3bridge.h"

#include "pluginhost.h"
#include "vsttimeinfo.h"

#include <pluginterfaces/gui/iplugviewcontentscalesupport.h>
#include <pluginterfaces/vst/ivstmidicontrollers.h>
#include <pluginterfaces/vst/ivstpluginterfacesupport.h>
#include <pluginterfaces/vst/ivstunits.h>
#include <public.sdk/source/common/memorystream.h>
#include <public.sdk/source/vst/hosting/hostclasses.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

namespace Steinberg {
DEF_CLASS_IID(IPlugView)
DEF_CLASS_IID(IPlugFrame)
DEF_CLASS_IID(IPlugViewContentScaleSupport)
} // namespace Steinberg

namespace gravelix::host {

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// The window scale message of VST 2.4 hosts (effVendorSpecific 'PreS' 'AeCs', the factor in opt).
constexpr VstInt32 kScaleMessage = 0x50726553;
constexpr VstIntPtr kScaleValue = 0x41654373;

// Marks the chunk that carries the controller's own state beside the component's; a chunk
// without it is the component's state alone.
constexpr char kChunkMagic[4] = {'G', 'X', 'V', '3'};

// The bridge whose block this thread is running.
thread_local const Vst3Bridge* audioOf = nullptr;

class AudioRole {
public:
    explicit AudioRole(const Vst3Bridge* bridge) : previous_(std::exchange(audioOf, bridge)) {}
    ~AudioRole() { audioOf = previous_; }
    AudioRole(const AudioRole&) = delete;
    AudioRole& operator=(const AudioRole&) = delete;

private:
    const Vst3Bridge* previous_;
};

// Text limits of the record's requests (terminator excluded), as the host's checks hold every
// plug-in to them; longer VST3 texts are cut.
constexpr std::size_t kParamNameLimit = 31;
constexpr std::size_t kParamTextLimit = kVstMaxParamStrLen;
constexpr std::size_t kEffectNameLimit = kVstMaxEffectNameLen;
constexpr std::size_t kVendorLimit = 64;
constexpr std::size_t kProgramNameLimit = kVstMaxProgNameLen - 1;

void copyText(void* ptr, const std::string& text, std::size_t limit) {
    if (ptr) {
        std::size_t n = std::min(text.size(), limit);
        // Never cut inside a UTF-8 sequence.
        while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
            --n;
        }
        std::memcpy(ptr, text.data(), n);
        static_cast<char*>(ptr)[n] = '\0';
    }
}

void toUtf16(const std::string& text, String128 out) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size() && n < 127;) {
        const auto c = static_cast<unsigned char>(text[i]);
        char32_t code = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        code = extra == 3 ? c & 0x07u : extra == 2 ? c & 0x0Fu : extra == 1 ? c & 0x1Fu : c;
        ++i;
        for (; extra > 0 && i < text.size(); --extra, ++i) {
            code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3Fu);
        }
        if (code >= 0x10000 && n < 126) {
            code -= 0x10000;
            out[n++] = static_cast<TChar>(0xD800 + (code >> 10));
            out[n++] = static_cast<TChar>(0xDC00 + (code & 0x3FF));
        } else if (code < 0x10000) {
            out[n++] = static_cast<TChar>(code);
        }
    }
    out[n] = 0;
}

// 32-bit FNV-1a of the class id: a stable number for the record's unique ID.
VstInt32 idHash(const std::string& id) {
    std::uint32_t h = 2166136261u;
    for (unsigned char c : id) {
        h = (h ^ c) * 16777619u;
    }
    return static_cast<VstInt32>(h);
}

VstInt32 versionNumber(const std::string& version) {
    int parts[3] = {0, 0, 0};
    std::sscanf(version.c_str(), "%d.%d.%d", &parts[0], &parts[1], &parts[2]);
    return parts[0] * 100 + parts[1] * 10 + parts[2];
}

// The SDK's host application under our name, claiming only the plug-in interfaces this host
// uses, and handing out that list (the SDK's own asks it with the wrong id).
class Application final : public HostApplication {
public:
    Application() {
        for (const FUID& unused :
             {IUnitData::iid, IProgramListData::iid, IMidiMapping::iid, IEditController2::iid}) {
            getPlugInterfaceSupport()->removePlugInterfaceSupported(unused);
        }
        getPlugInterfaceSupport()->addPlugInterfaceSupported(IProcessContextRequirements::iid);
    }
    tresult PLUGIN_API getName(String128 name) override {
        toUtf16("gravelix-host", name);
        return kResultOk;
    }
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (FUnknownPrivate::iidEqual(iid, IPlugInterfaceSupport::iid)) {
            return getPlugInterfaceSupport()->queryInterface(iid, obj);
        }
        return HostApplication::queryInterface(iid, obj);
    }
};

template <typename T> void releaseInto(T*& p) {
    if (p) {
        p->release();
        p = nullptr;
    }
}

template <typename T> T* queried(FUnknown* object) {
    void* out = nullptr;
    if (object && object->queryInterface(T::iid, &out) == kResultOk) {
        return static_cast<T*>(out);
    }
    return nullptr;
}

} // namespace

// One for the process, never deleted (its reference count is a stub): a module's factory keeps
// the context it was given for as long as the module stays loaded, beyond any one instance.
IHostApplication* vst3HostApplication() {
    static IHostApplication* const application = new Application();
    return application;
}

std::string vst3Utf8(const TChar* text, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < limit && text[i] != 0; ++i) {
        char32_t c = static_cast<char16_t>(text[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < limit) {
            const char32_t low = static_cast<char16_t>(text[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// The controller's edits and requests. Lives as long as the bridge, which outlives the
// controller, so its reference count is a stub.
class Vst3Bridge::ComponentHandler final : public IComponentHandler {
public:
    explicit ComponentHandler(Vst3Bridge& bridge) : bridge_(bridge) {}
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        QUERY_INTERFACE(iid, obj, FUnknown::iid, IComponentHandler)
        QUERY_INTERFACE(iid, obj, IComponentHandler::iid, IComponentHandler)
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
    tresult PLUGIN_API beginEdit(ParamID id) override {
        bridge_.edited(id, audioMasterBeginEdit, 0.0);
        return kResultOk;
    }
    tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override {
        bridge_.edited(id, audioMasterAutomate, value);
        return kResultOk;
    }
    tresult PLUGIN_API endEdit(ParamID id) override {
        bridge_.edited(id, audioMasterEndEdit, 0.0);
        return kResultOk;
    }
    tresult PLUGIN_API restartComponent(int32 flags) override {
        bridge_.restartComponent(flags);
        return kResultOk;
    }

private:
    Vst3Bridge& bridge_;
};

// The view's frame: its size requests, and the host's run loop where the platform has one.
class Vst3Bridge::PlugFrame final : public IPlugFrame {
public:
    explicit PlugFrame(Vst3Bridge& bridge) : bridge_(bridge) {}
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        QUERY_INTERFACE(iid, obj, FUnknown::iid, IPlugFrame)
        QUERY_INTERFACE(iid, obj, IPlugFrame::iid, IPlugFrame)
        if (FUnknown* loop = bridge_.runLoop_->unknown();
            loop && !FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
            return loop->queryInterface(iid, obj);
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* size) override {
        return bridge_.resizeView(view, size) ? kResultTrue : kResultFalse;
    }

private:
    Vst3Bridge& bridge_;
};

Vst3Bridge::Vst3Bridge(const std::string& path, const std::string& pluginId,
                       audioMasterCallback callback)
    : file_(std::make_unique<Vst3Plugin>(path)), callback_(callback) {
    chosen_ = file_->find(pluginId);
    const auto start = std::chrono::steady_clock::now();
    handler_ = std::make_unique<ComponentHandler>(*this);
    frame_ = std::make_unique<PlugFrame>(*this);
    runLoop_ = makeVst3RunLoop();
    try {
        create(path);
    } catch (...) {
        close();
        throw;
    }
    const Vst3ClassInfo& d = descriptor();
    effect_.magic = kEffectMagic;
    BridgeRecord<Vst3Bridge>::install(effect_);
    effect_.numPrograms = static_cast<VstInt32>(programNames_.size());
    effect_.numParams = static_cast<VstInt32>(infos_.size());
    effect_.flags = effFlagsCanReplacing | effFlagsProgramChunks;
    if (IPlugView* view = controller_->createView(ViewType::kEditor)) {
        if (view->isPlatformTypeSupported(vst3PlatformType()) == kResultTrue) {
            effect_.flags |= effFlagsHasEditor;
        }
        view->release();
    }
    effect_.ioRatio = 1.0f;
    effect_.object = this;
    effect_.uniqueID = idHash(d.cid);
    effect_.version = versionNumber(d.version);
    entrySeconds_ = file_->entrySeconds() +
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

Vst3Bridge::~Vst3Bridge() {
    close();
}

void Vst3Bridge::create(const std::string& path) {
    const Vst3ClassInfo& d = descriptor();
    IPluginFactory* factory = file_->factory();
    if (auto* factory3 = queried<IPluginFactory3>(factory)) {
        factory3->setHostContext(vst3HostApplication());
        factory3->release();
    }
    char cid[16];
    vst3ParseCid(d.cid, cid);
    void* object = nullptr;
    if (factory->createInstance(cid, IComponent::iid, &object) != kResultOk || !object) {
        throw LoadError(LoadError::Kind::NullEffect,
                        "'" + path + "' did not create its audio class '" + d.name + "'");
    }
    component_ = static_cast<IComponent*>(object);
    if (component_->initialize(vst3HostApplication()) != kResultOk) {
        throw LoadError(LoadError::Kind::NullEffect,
                        "audio class '" + d.name + "' of '" + path + "' failed to initialise");
    }
    componentInitialised_ = true;
    processor_ = queried<IAudioProcessor>(component_);
    if (!processor_) {
        throw LoadError(LoadError::Kind::NullEffect,
                        "audio class '" + d.name + "' of '" + path + "' has no audio processor");
    }

    // One object for both sides is terminated once, through the component.
    controller_ = queried<IEditController>(component_);
    single_ = controller_ != nullptr;
    if (!controller_) {
        TUID controllerCid{};
        if (component_->getControllerClassId(controllerCid) == kResultOk &&
            factory->createInstance(controllerCid, IEditController::iid, &object) == kResultOk &&
            object) {
            controller_ = static_cast<IEditController*>(object);
            if (controller_->initialize(vst3HostApplication()) != kResultOk) {
                throw LoadError(LoadError::Kind::NullEffect,
                                "the controller of '" + d.name + "' failed to initialise");
            }
            controllerInitialised_ = true;
        }
    }
    if (!controller_) {
        throw LoadError(LoadError::Kind::NullEffect,
                        "audio class '" + d.name + "' of '" + path + "' has no edit controller");
    }
    if (!single_) {
        componentPoint_ = queried<IConnectionPoint>(component_);
        controllerPoint_ = queried<IConnectionPoint>(controller_);
        if (componentPoint_ && controllerPoint_) {
            componentPoint_->connect(controllerPoint_);
            controllerPoint_->connect(componentPoint_);
        }
    }
    controller_->setComponentHandler(handler_.get());
    transferState();
    readBuses();
    readParameters();
    readPrograms();

    // Processors that do not say what they need get what is known without asking the host
    // from inside a block.
    if (auto* requirements = queried<IProcessContextRequirements>(processor_)) {
        using R = IProcessContextRequirements;
        needsTransport_ = (requirements->getProcessContextRequirements() &
                           (R::kNeedProjectTimeMusic | R::kNeedBarPositionMusic | R::kNeedTempo |
                            R::kNeedTimeSignature | R::kNeedTransportState)) != 0;
        requirements->release();
    }

    // The latency a host reads before resuming is the one at its first stream format.
    const ProcessSetup setup = processSetup();
    ProcessSetup copy = setup;
    processor_->setupProcessing(copy);
    effect_.initialDelay = static_cast<VstInt32>(processor_->getLatencySamples());
}

// The component's state as the controller's starting point: a controller of its own knows
// nothing of what the component loaded or defaults to.
void Vst3Bridge::transferState() {
    if (single_) {
        return;
    }
    MemoryStream stream;
    if (component_->getState(&stream) == kResultOk) {
        stream.seek(0, IBStream::kIBSeekSet, nullptr);
        controller_->setComponentState(&stream);
    }
}

void Vst3Bridge::readBuses() {
    for (BusDirection dir : {kInput, kOutput}) {
        auto& channels = dir == kInput ? inBusChannels_ : outBusChannels_;
        auto& main = dir == kInput ? inBusMain_ : outBusMain_;
        std::int32_t total = 0;
        const int32 count = component_->getBusCount(kAudio, dir);
        for (int32 i = 0; i < count; ++i) {
            BusInfo info{};
            component_->getBusInfo(kAudio, dir, i, info);
            channels.push_back(std::max<int32>(info.channelCount, 0));
            main.push_back(info.busType == kMain);
            component_->activateBus(kAudio, dir, i, info.busType == kMain);
            total += info.busType == kMain ? channels.back() : 0;
        }
        (dir == kInput ? effect_.numInputs : effect_.numOutputs) = total;
    }
    inBuses_.resize(inBusChannels_.size());
    outBuses_.resize(outBusChannels_.size());
    std::size_t all = 0;
    for (auto c : inBusChannels_) {
        all += static_cast<std::size_t>(c);
    }
    for (auto c : outBusChannels_) {
        all += static_cast<std::size_t>(c);
    }
    channelPointers_.resize(all);
}

void Vst3Bridge::readParameters() {
    std::vector<ParameterInfo> infos;
    hasProgramParam_ = false;
    const int32 count = controller_->getParameterCount();
    for (int32 i = 0; i < count; ++i) {
        ParameterInfo info{};
        if (controller_->getParameterInfo(i, info) != kResultOk) {
            continue;
        }
        if ((info.flags & ParameterInfo::kIsProgramChange) && !hasProgramParam_) {
            hasProgramParam_ = true;
            programInfo_ = info;
            continue;
        }
        infos.push_back(info);
    }
    if (!infos_.empty() && infos.size() != infos_.size()) {
        // The count may only change across a restart of the instance; the old table stays.
        return;
    }
    if (values_) {
        // New titles while blocks may run: the audio thread reads the ids, so it waits.
        pauseAudio();
        infos_ = std::move(infos);
        resumeAudio();
        return;
    }
    infos_ = std::move(infos);
    values_ = std::make_unique<std::atomic<double>[]>(infos_.size());
    pending_ = std::make_unique<std::atomic<bool>[]>(infos_.size());
    reported_ = std::make_unique<std::atomic<bool>[]>(infos_.size());
    for (std::size_t i = 0; i < infos_.size(); ++i) {
        values_[i].store(controller_->getParamNormalized(infos_[i].id));
        pending_[i].store(false);
        reported_[i].store(false);
    }
    inChanges_.reserve(infos_.size() + 1);
    outChanges_.reserve(infos_.size() + 1);
}

void Vst3Bridge::pauseAudio() {
    gate_.fetch_or(kPaused);
    while (gate_.load() & kInside) {
        std::this_thread::yield();
    }
}

void Vst3Bridge::resumeAudio() {
    gate_.fetch_and(~kPaused);
}

// A program list on the root unit names the programs; without one, the program-change
// parameter's own texts do.
void Vst3Bridge::readPrograms() {
    programNames_.clear();
    if (!hasProgramParam_) {
        return;
    }
    const int32 steps = programInfo_.stepCount;
    if (steps <= 0) {
        return;
    }
    programValue_.store(controller_->getParamNormalized(programInfo_.id));
    program_ = static_cast<VstInt32>(std::lround(programValue_.load() * steps));
    if (auto* units = queried<IUnitInfo>(controller_)) {
        ProgramListID list = kNoProgramListId;
        for (int32 u = 0; u < units->getUnitCount(); ++u) {
            UnitInfo unit{};
            if (units->getUnitInfo(u, unit) == kResultOk && unit.id == programInfo_.unitId) {
                list = unit.programListId;
            }
        }
        for (int32 l = 0; l < units->getProgramListCount() && list != kNoProgramListId; ++l) {
            ProgramListInfo info{};
            if (units->getProgramListInfo(l, info) == kResultOk && info.id == list) {
                for (int32 p = 0; p < info.programCount && p <= steps; ++p) {
                    String128 name{};
                    units->getProgramName(list, p, name);
                    programNames_.push_back(vst3Utf8(name, 128));
                }
            }
        }
        units->release();
    }
    if (programNames_.empty()) {
        for (int32 p = 0; p <= steps; ++p) {
            String128 name{};
            controller_->getParamStringByValue(programInfo_.id, static_cast<double>(p) / steps,
                                               name);
            programNames_.push_back(vst3Utf8(name, 128));
        }
    }
    program_ = std::clamp<VstInt32>(program_, 0, static_cast<VstInt32>(programNames_.size()) - 1);
    programStates_.assign(programNames_.size(), {});
}

ProcessSetup Vst3Bridge::processSetup() const {
    return {processMode_, kSample32, maxFrames_, rate_};
}

VstInt32 Vst3Bridge::indexOf(ParamID id) const {
    for (std::size_t i = 0; i < infos_.size(); ++i) {
        if (infos_[i].id == id) {
            return static_cast<VstInt32>(i);
        }
    }
    return -1;
}

bool Vst3Bridge::onAudioThread() const {
    return audioOf == this;
}

void Vst3Bridge::edited(ParamID id, int what, double value) {
    if (hasProgramParam_ && id == programInfo_.id) {
        if (what == audioMasterAutomate && !programNames_.empty()) {
            programValue_.store(value);
            programPending_.store(true);
            program_ = std::clamp<VstInt32>(
                static_cast<VstInt32>(std::lround(value * programInfo_.stepCount)), 0,
                static_cast<VstInt32>(programNames_.size()) - 1);
        }
        return;
    }
    const VstInt32 i = indexOf(id);
    if (i < 0) {
        return;
    }
    if (what == audioMasterAutomate) {
        // An edit in the controller is the host's to pass to the processor.
        values_[static_cast<std::size_t>(i)].store(value);
        pending_[static_cast<std::size_t>(i)].store(true);
    }
    callback_(&effect_, what, i, 0, nullptr, static_cast<float>(value));
}

void Vst3Bridge::restartComponent(int32 flags) {
    if (flags & (kLatencyChanged | kIoChanged | kReloadComponent)) {
        restartRequested_.store(true);
    }
    if (onAudioThread()) {
        return;
    }
    if (flags & kParamTitlesChanged) {
        readParameters();
    }
    if (flags & (kParamValuesChanged | kParamTitlesChanged)) {
        for (std::size_t i = 0; i < infos_.size(); ++i) {
            if (!pending_[i].load()) {
                values_[i].store(controller_->getParamNormalized(infos_[i].id));
            }
        }
        callback_(&effect_, audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f);
    }
}

bool Vst3Bridge::activate() {
    if (active_.load()) {
        return true;
    }
    // Offline rendering lets the plug-in take its time; everything else is live.
    processMode_ = callback_(&effect_, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f) ==
                           kVstProcessLevelOffline
                       ? kOffline
                       : kRealtime;
    ProcessSetup setup = processSetup();
    if (processor_->setupProcessing(setup) != kResultOk) {
        return false;
    }
    std::size_t auxChannels = 0;
    for (std::size_t b = 0; b < inBusChannels_.size(); ++b) {
        auxChannels += inBusMain_[b] ? 0 : static_cast<std::size_t>(inBusChannels_[b]);
    }
    auxInputSamples_ = auxChannels * static_cast<std::size_t>(maxFrames_);
    for (std::size_t b = 0; b < outBusChannels_.size(); ++b) {
        auxChannels += outBusMain_[b] ? 0 : static_cast<std::size_t>(outBusChannels_[b]);
    }
    scratch_.assign(auxChannels * static_cast<std::size_t>(maxFrames_), 0.0f);
    if (component_->setActive(true) != kResultOk) {
        return false;
    }
    effect_.initialDelay = static_cast<VstInt32>(processor_->getLatencySamples());
    // kNotImplemented is how plug-ins without a use for it answer.
    processor_->setProcessing(true);
    continuousTime_ = 0;
    active_.store(true);
    return true;
}

void Vst3Bridge::deactivate() {
    if (!active_.load()) {
        return;
    }
    processor_->setProcessing(false);
    component_->setActive(false);
    active_.store(false);
}

void Vst3Bridge::restart() {
    if (!active_.load()) {
        return;
    }
    pauseAudio();
    const VstInt32 delay = effect_.initialDelay;
    deactivate();
    activate();
    resumeAudio();
    if (effect_.initialDelay != delay) {
        callback_(&effect_, audioMasterIOChanged, 0, 0, nullptr, 0.0f);
    }
}

// The values set since the last block, as the parameter changes of the next one; a program
// change goes first, so that values set after it win. No allocation.
void Vst3Bridge::collectPending() {
    inChanges_.clear();
    if (hasProgramParam_ && programPending_.load(std::memory_order_relaxed) &&
        programPending_.exchange(false)) {
        inChanges_.set(programInfo_.id, programValue_.load());
    }
    for (std::size_t i = 0; i < infos_.size(); ++i) {
        if (pending_[i].load(std::memory_order_relaxed) && pending_[i].exchange(false)) {
            inChanges_.set(infos_[i].id, values_[i].load());
        }
    }
}

// What waits for the processor reaches it now, as VST3 hosts flush: a block of no frames and
// no buses carrying only the changes. Inactive, the processor is activated around it; active,
// the audio path pauses for it.
void Vst3Bridge::flushPending() {
    bool any = programPending_.load();
    for (std::size_t i = 0; i < infos_.size() && !any; ++i) {
        any = pending_[i].load();
    }
    if (!any || onAudioThread()) {
        return;
    }
    const bool wasActive = active_.load();
    if (wasActive) {
        pauseAudio();
    } else if (!activate()) {
        return;
    }
    {
        AudioRole role(this);
        collectPending();
        runBlock(0, 0, nullptr, nullptr, false);
        inChanges_.clear();
    }
    if (wasActive) {
        resumeAudio();
    } else {
        deactivate();
    }
}

void Vst3Bridge::fillContext() {
    context_ = {};
    context_.sampleRate = rate_;
    context_.continousTimeSamples = continuousTime_;
    context_.state = ProcessContext::kContTimeValid;
    // Without a transport the project's time is the stream's.
    context_.projectTimeSamples = continuousTime_;
    if (!needsTransport_) {
        return;
    }
    const auto* info = reinterpret_cast<const VstTimeInfo*>(
        callback_(&effect_, audioMasterGetTime, 0,
                  kVstPpqPosValid | kVstTempoValid | kVstTimeSigValid, nullptr, 0.0f));
    if (!info) {
        return;
    }
    context_.projectTimeSamples = static_cast<TSamples>(info->samplePos);
    if (info->flags & kVstTransportPlaying) {
        context_.state |= ProcessContext::kPlaying;
    }
    if (info->flags & kVstPpqPosValid) {
        context_.projectTimeMusic = info->ppqPos;
        context_.barPositionMusic = info->barStartPos;
        context_.state |=
            ProcessContext::kProjectTimeMusicValid | ProcessContext::kBarPositionValid;
    }
    if (info->flags & kVstTempoValid) {
        context_.tempo = info->tempo;
        context_.state |= ProcessContext::kTempoValid;
    }
    if (info->flags & kVstTimeSigValid) {
        context_.timeSigNumerator = info->timeSigNumerator;
        context_.timeSigDenominator = info->timeSigDenominator;
        context_.state |= ProcessContext::kTimeSigValid;
    }
}

// One process call of `frames` from `offset` into the caller's channels; audio thread, no
// allocation, no lock.
void Vst3Bridge::runBlock(std::int32_t frames, std::int32_t offset, float** inputs, float** outputs,
                          bool withBuses) {
    ProcessData data;
    data.processMode = processMode_;
    data.symbolicSampleSize = kSample32;
    data.numSamples = frames;
    data.inputParameterChanges = &inChanges_;
    data.outputParameterChanges = &outChanges_;
    data.processContext = &context_;
    outChanges_.clear();
    if (withBuses) {
        std::size_t channel = 0, main = 0, aux = 0;
        const auto place = [&](std::vector<AudioBusBuffers>& buses,
                               const std::vector<std::int32_t>& channels,
                               const std::vector<bool>& isMain, float** caller) {
            for (std::size_t b = 0; b < buses.size(); ++b) {
                buses[b] = AudioBusBuffers{};
                buses[b].numChannels = channels[b];
                buses[b].channelBuffers32 = channelPointers_.data() + channel;
                for (std::int32_t c = 0; c < channels[b]; ++c, ++channel) {
                    channelPointers_[channel] =
                        isMain[b] ? caller[main++] + offset
                                  : scratch_.data() + static_cast<std::size_t>(maxFrames_) * aux++;
                }
            }
        };
        // Silence on the aux inputs each block, whatever a plug-in wrote there last time.
        std::fill(scratch_.begin(),
                  scratch_.begin() + static_cast<std::ptrdiff_t>(auxInputSamples_), 0.0f);
        place(inBuses_, inBusChannels_, inBusMain_, inputs);
        main = 0;
        place(outBuses_, outBusChannels_, outBusMain_, outputs);
        data.numInputs = static_cast<int32>(inBuses_.size());
        data.numOutputs = static_cast<int32>(outBuses_.size());
        data.inputs = inBuses_.empty() ? nullptr : inBuses_.data();
        data.outputs = outBuses_.empty() ? nullptr : outBuses_.data();
    }
    const tresult result = processor_->process(data);
    if (result != kResultOk && withBuses) {
        for (VstInt32 c = 0; c < effect_.numOutputs; ++c) {
            std::fill(outputs[c] + offset, outputs[c] + offset + frames, 0.0f);
        }
    }
    // What the processor reports reaches the controller at the next idle, off this thread.
    for (int32 q = 0; q < outChanges_.getParameterCount(); ++q) {
        IParamValueQueue* queue = outChanges_.getParameterData(q);
        const VstInt32 i = queue ? indexOf(queue->getParameterId()) : -1;
        int32 at = 0;
        ParamValue v = 0.0;
        if (i >= 0 && queue->getPoint(queue->getPointCount() - 1, at, v) == kResultOk) {
            values_[static_cast<std::size_t>(i)].store(v);
            reported_[static_cast<std::size_t>(i)].store(true);
            anyReported_.store(true);
        }
    }
    continuousTime_ += frames;
}

// The caller's audio thread: no lock, no allocation.
void Vst3Bridge::process(float** inputs, float** outputs, VstInt32 frames) {
    const auto silence = [&] {
        for (VstInt32 c = 0; c < effect_.numOutputs; ++c) {
            std::fill(outputs[c], outputs[c] + std::max(frames, 0), 0.0f);
        }
    };
    if ((gate_.fetch_or(kInside) & kPaused) || !active_.load() || frames <= 0) {
        gate_.fetch_and(~kInside);
        silence();
        return;
    }
    AudioRole role(this);
    collectPending();
    fillContext();
    // Blocks longer than the set-up allowed go through in parts; the changes with the first.
    for (VstInt32 done = 0; done < frames;) {
        const std::int32_t part = std::min<std::int32_t>(frames - done, maxFrames_);
        runBlock(part, done, inputs, outputs, true);
        inChanges_.clear();
        context_.projectTimeSamples += part;
        context_.continousTimeSamples += part;
        done += part;
    }
    gate_.fetch_and(~kInside);
}

void Vst3Bridge::setParameter(VstInt32 index, float value) {
    if (index < 0 || static_cast<std::size_t>(index) >= infos_.size()) {
        return;
    }
    // NaN and values outside 0..1 are clamped as a VST 2.4 host's would be.
    double v = value >= 0.0f ? std::min(value, 1.0f) : 0.0f;
    const auto i = static_cast<std::size_t>(index);
    const bool main = !onAudioThread();
    if (main && infos_[i].stepCount > 0) {
        // A stepped value is the step it stands for, by the plug-in's own mapping, so that it
        // reads back the same before and after a state round trip.
        const ParamID id = infos_[i].id;
        const double step =
            controller_->plainParamToNormalized(id, controller_->normalizedParamToPlain(id, v));
        v = step >= 0.0 && step <= 1.0 ? step : v;
    }
    values_[i].store(v);
    pending_[i].store(true);
    if (main) {
        controller_->setParamNormalized(infos_[i].id, v);
    } else {
        // The controller hears of it at the next idle, off the audio thread.
        reported_[i].store(true);
        anyReported_.store(true);
    }
}

float Vst3Bridge::getParameter(VstInt32 index) {
    if (index < 0 || static_cast<std::size_t>(index) >= infos_.size()) {
        return 0.0f;
    }
    const auto i = static_cast<std::size_t>(index);
    if (!onAudioThread() && !pending_[i].load() && !reported_[i].load()) {
        values_[i].store(controller_->getParamNormalized(infos_[i].id));
    }
    return static_cast<float>(values_[i].load());
}

VstIntPtr Vst3Bridge::saveState(void** data) {
    if (!data) {
        return 0;
    }
    flushPending();
    MemoryStream component, controller;
    if (component_->getState(&component) != kResultOk) {
        return 0;
    }
    if (single_ || controller_->getState(&controller) != kResultOk) {
        controller.setSize(0);
    }
    const auto* c = reinterpret_cast<const std::uint8_t*>(component.getData());
    chunk_.clear();
    if (controller.getSize() == 0) {
        chunk_.assign(c, c + component.getSize());
    } else {
        const auto put32 = [this](std::uint64_t v) {
            for (int b = 0; b < 4; ++b) {
                chunk_.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
            }
        };
        chunk_.insert(chunk_.end(), kChunkMagic, kChunkMagic + 4);
        put32(static_cast<std::uint64_t>(component.getSize()));
        chunk_.insert(chunk_.end(), c, c + component.getSize());
        const auto* e = reinterpret_cast<const std::uint8_t*>(controller.getData());
        put32(static_cast<std::uint64_t>(controller.getSize()));
        chunk_.insert(chunk_.end(), e, e + controller.getSize());
    }
    *data = chunk_.data();
    return static_cast<VstIntPtr>(chunk_.size());
}

VstIntPtr Vst3Bridge::loadState(const void* data, VstIntPtr size) {
    if ((!data && size > 0) || size < 0) {
        return 0;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const std::uint8_t* component = bytes;
    std::uint64_t componentSize = static_cast<std::uint64_t>(size);
    const std::uint8_t* controller = nullptr;
    std::uint64_t controllerSize = 0;
    const auto get32 = [](const std::uint8_t* p) {
        return std::uint64_t{p[0]} | std::uint64_t{p[1]} << 8 | std::uint64_t{p[2]} << 16 |
               std::uint64_t{p[3]} << 24;
    };
    if (size >= 8 && std::memcmp(bytes, kChunkMagic, 4) == 0) {
        const std::uint64_t total = static_cast<std::uint64_t>(size);
        componentSize = get32(bytes + 4);
        if (8 + componentSize + 4 > total) {
            return 0;
        }
        component = bytes + 8;
        controllerSize = get32(component + componentSize);
        controller = component + componentSize + 4;
        if (8 + componentSize + 4 + controllerSize > total) {
            return 0;
        }
    }
    // A loaded state wins over values set before it that no block has taken yet.
    programPending_.store(false);
    for (std::size_t i = 0; i < infos_.size(); ++i) {
        pending_[i].store(false);
        reported_[i].store(false);
    }
    MemoryStream stream(const_cast<std::uint8_t*>(component), static_cast<TSize>(componentSize));
    if (component_->setState(&stream) != kResultOk) {
        return 0;
    }
    if (!single_) {
        stream.seek(0, IBStream::kIBSeekSet, nullptr);
        controller_->setComponentState(&stream);
        if (controller) {
            MemoryStream own(const_cast<std::uint8_t*>(controller),
                             static_cast<TSize>(controllerSize));
            controller_->setState(&own);
        }
    }
    return 1;
}

VstInt32 Vst3Bridge::currentProgram() {
    return program_;
}

VstIntPtr Vst3Bridge::setProgram(VstIntPtr index) {
    if (!hasProgramParam_ || index < 0 || static_cast<std::size_t>(index) >= programNames_.size() ||
        onAudioThread() || (index == program_ && programChosen_)) {
        return 0;
    }
    // The current program keeps its edits; the first choice always loads, since a new
    // instance's values need not be its program's.
    programChosen_ = true;
    // A VST 2.4 program keeps its edits until the host switches back to it; a VST3 program
    // change loads the program afresh each time, so the state left in a program is kept and
    // loaded on return instead.
    if (index != program_) {
        void* data = nullptr;
        const VstIntPtr size = saveState(&data);
        programStates_[static_cast<std::size_t>(program_)].assign(chunk_.begin(),
                                                                  chunk_.begin() + size);
        const auto& kept = programStates_[static_cast<std::size_t>(index)];
        if (!kept.empty() && loadState(kept.data(), static_cast<VstIntPtr>(kept.size()))) {
            program_ = static_cast<VstInt32>(index);
            for (std::size_t i = 0; i < infos_.size(); ++i) {
                values_[i].store(controller_->getParamNormalized(infos_[i].id));
            }
            return 0;
        }
    }
    program_ = static_cast<VstInt32>(index);
    const double v = static_cast<double>(index) / programInfo_.stepCount;
    // Values set before the program change are what the program replaces.
    for (std::size_t i = 0; i < infos_.size(); ++i) {
        pending_[i].store(false);
        reported_[i].store(false);
    }
    programValue_.store(v);
    programPending_.store(true);
    controller_->setParamNormalized(programInfo_.id, v);
    for (std::size_t i = 0; i < infos_.size(); ++i) {
        values_[i].store(controller_->getParamNormalized(infos_[i].id));
    }
    return 0;
}

bool Vst3Bridge::createView() {
    if (view_) {
        return true;
    }
    if (!(effect_.flags & effFlagsHasEditor)) {
        return false;
    }
    view_ = controller_->createView(ViewType::kEditor);
    if (!view_) {
        return false;
    }
    view_->setFrame(frame_.get());
    if (scale_ > 0.0) {
        if (auto* scaling = queried<IPlugViewContentScaleSupport>(view_)) {
            scaling->setContentScaleFactor(static_cast<float>(scale_));
            scaling->release();
        }
    }
    return true;
}

VstIntPtr Vst3Bridge::editorRect(void* ptr) {
    if (!ptr || !createView()) {
        return 0;
    }
    ViewRect size{};
    if (view_->getSize(&size) == kResultOk) {
        rect_ = {0, 0, static_cast<std::int16_t>(size.getHeight()),
                 static_cast<std::int16_t>(size.getWidth())};
    }
    *static_cast<ERect**>(ptr) = &rect_;
    return 1;
}

VstIntPtr Vst3Bridge::editorOpen(void* parent) {
    if (viewAttached_ || !createView()) {
        return 0;
    }
    if (view_->attached(parent, vst3PlatformType()) != kResultOk) {
        editorClose();
        return 0;
    }
    viewAttached_ = true;
    ViewRect size{};
    if (view_->getSize(&size) == kResultOk) {
        rect_ = {0, 0, static_cast<std::int16_t>(size.getHeight()),
                 static_cast<std::int16_t>(size.getWidth())};
    }
    return 1;
}

void Vst3Bridge::editorClose() {
    if (!view_) {
        return;
    }
    if (viewAttached_) {
        view_->removed();
    }
    view_->setFrame(nullptr);
    releaseInto(view_);
    viewAttached_ = false;
}

bool Vst3Bridge::resizeView(IPlugView* view, ViewRect* size) {
    if (!view || view != view_ || !size) {
        return false;
    }
    const VstIntPtr accepted =
        callback_(&effect_, audioMasterSizeWindow, static_cast<VstInt32>(size->getWidth()),
                  static_cast<VstIntPtr>(size->getHeight()), nullptr, 0.0f);
    if (!accepted) {
        return false;
    }
    rect_ = {0, 0, static_cast<std::int16_t>(size->getHeight()),
             static_cast<std::int16_t>(size->getWidth())};
    view_->onSize(size);
    return true;
}

void Vst3Bridge::idle() {
    if (!component_) {
        return;
    }
    if (restartRequested_.exchange(false)) {
        restart();
    }
    if (anyReported_.exchange(false)) {
        for (std::size_t i = 0; i < infos_.size(); ++i) {
            if (reported_[i].exchange(false)) {
                controller_->setParamNormalized(infos_[i].id, values_[i].load());
            }
        }
    }
    runLoop_->idle();
}

void Vst3Bridge::close() {
    editorClose();
    if (component_ && processor_) {
        deactivate();
    }
    if (componentPoint_ && controllerPoint_) {
        componentPoint_->disconnect(controllerPoint_);
        controllerPoint_->disconnect(componentPoint_);
    }
    releaseInto(componentPoint_);
    releaseInto(controllerPoint_);
    if (controller_) {
        controller_->setComponentHandler(nullptr);
        if (controllerInitialised_) {
            controller_->terminate();
        }
        releaseInto(controller_);
    }
    releaseInto(processor_);
    if (component_) {
        if (componentInitialised_) {
            component_->terminate();
        }
        releaseInto(component_);
    }
    if (runLoop_) {
        runLoop_->destroy();
        runLoop_ = nullptr;
    }
}

VstIntPtr Vst3Bridge::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
    if (!component_) {
        return 0;
    }
    const bool inRange = index >= 0 && static_cast<std::size_t>(index) < infos_.size();
    switch (opcode) {
    case effClose:
        close();
        return 0;
    case effSetProgram:
        return setProgram(value);
    case effGetProgram:
        return currentProgram();
    case effGetProgramName:
        copyText(ptr, programNames_.empty() ? std::string() : programNames_[currentProgram()],
                 kProgramNameLimit);
        return 0;
    case effGetProgramNameIndexed:
        if (index < 0 || static_cast<std::size_t>(index) >= programNames_.size()) {
            return 0;
        }
        copyText(ptr, programNames_[static_cast<std::size_t>(index)], kProgramNameLimit);
        return 1;
    case effGetParamLabel:
        if (inRange) {
            copyText(ptr, vst3Utf8(infos_[index].units, 128), kParamTextLimit);
        }
        return 0;
    case effGetParamDisplay:
        if (inRange) {
            String128 text{};
            if (controller_->getParamStringByValue(infos_[index].id, getParameter(index), text) !=
                kResultOk) {
                text[0] = 0;
            }
            copyText(ptr, vst3Utf8(text, 128), kParamTextLimit);
        }
        return 0;
    case effGetParamName:
        if (inRange) {
            copyText(ptr, vst3Utf8(infos_[index].title, 128), kParamNameLimit);
        }
        return 0;
    case effString2Parameter: {
        if (!inRange || !ptr) {
            return 0;
        }
        String128 text{};
        toUtf16(static_cast<const char*>(ptr), text);
        ParamValue v = 0.0;
        if (controller_->getParamValueByString(infos_[index].id, text, v) != kResultOk) {
            return 0;
        }
        setParameter(index, static_cast<float>(v));
        return 1;
    }
    case effCanBeAutomated:
        return inRange && (infos_[index].flags & ParameterInfo::kCanAutomate) ? 1 : 0;
    case effSetSampleRate:
        if (opt > 0.0f) {
            rate_ = opt;
            restart();
        }
        return 0;
    case effSetBlockSize:
        if (value > 0) {
            maxFrames_ = static_cast<std::int32_t>(value);
            restart();
        }
        return 0;
    case effMainsChanged:
        if (value) {
            restartRequested_.store(false);
            activate();
        } else {
            deactivate();
        }
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
        return static_cast<VstIntPtr>(processor_->getTailSamples());
    case effVendorSpecific:
        // The window scale our commands tell VST 2.4 editors is the view's content scale.
        if (index == kScaleMessage && value == kScaleValue && std::isfinite(opt) && opt > 0.0f) {
            scale_ = opt;
            if (auto* scaling = queried<IPlugViewContentScaleSupport>(view_)) {
                scaling->setContentScaleFactor(static_cast<float>(scale_));
                scaling->release();
            }
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

} // namespace gravelix::host

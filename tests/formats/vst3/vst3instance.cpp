#include "vst3instance.h"

#include <pluginterfaces/base/fplatform.h>
#include <pluginterfaces/vst/ivsthostapplication.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>
#include <pluginterfaces/vst/vstspeaker.h>

#include <algorithm>
#include <atomic>
#include <cstring>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

bool same(const TUID a, const TUID b) {
    return std::memcmp(a, b, sizeof(TUID)) == 0;
}

template <class I> I* query(FUnknown* object, const TUID iid) {
    void* found = nullptr;
    if (!object || object->queryInterface(iid, &found) != kResultOk) {
        return nullptr;
    }
    return static_cast<I*>(found);
}

// Host objects that live as long as the instance: their counts mean nothing.
#define TEST_FIXED_COUNT                                                                           \
    uint32 PLUGIN_API addRef() override { return 1; }                                              \
    uint32 PLUGIN_API release() override { return 1; }

class AttributeList final : public IAttributeList {
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (same(iid, FUnknown_iid) || same(iid, IAttributeList_iid)) {
            addRef();
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++refs; }
    uint32 PLUGIN_API release() override {
        const uint32 left = --refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    tresult PLUGIN_API setInt(AttrID id, int64 value) override {
        ints[id] = value;
        return kResultOk;
    }
    tresult PLUGIN_API getInt(AttrID id, int64& value) override {
        const auto found = ints.find(id);
        if (found == ints.end()) {
            return kResultFalse;
        }
        value = found->second;
        return kResultOk;
    }
    tresult PLUGIN_API setFloat(AttrID, double) override { return kResultFalse; }
    tresult PLUGIN_API getFloat(AttrID, double&) override { return kResultFalse; }
    tresult PLUGIN_API setString(AttrID, const TChar*) override { return kResultFalse; }
    tresult PLUGIN_API getString(AttrID, TChar*, uint32) override { return kResultFalse; }
    tresult PLUGIN_API setBinary(AttrID, const void*, uint32) override { return kResultFalse; }
    tresult PLUGIN_API getBinary(AttrID, const void*&, uint32&) override { return kResultFalse; }

private:
    std::atomic<uint32> refs{1};
    std::map<std::string, int64> ints;
};

class Message final : public IMessage {
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (same(iid, FUnknown_iid) || same(iid, IMessage_iid)) {
            addRef();
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 PLUGIN_API addRef() override { return ++refs; }
    uint32 PLUGIN_API release() override {
        const uint32 left = --refs;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    FIDString PLUGIN_API getMessageID() override { return id.c_str(); }
    void PLUGIN_API setMessageID(FIDString newId) override { id = newId ? newId : ""; }
    IAttributeList* PLUGIN_API getAttributes() override { return attributes; }

private:
    ~Message() { attributes->release(); }
    std::atomic<uint32> refs{1};
    std::string id;
    AttributeList* attributes = new AttributeList;
};

class ValueQueue final : public IParamValueQueue {
public:
    tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
        *obj = nullptr;
        return kNoInterface;
    }
    TEST_FIXED_COUNT
    ParamID PLUGIN_API getParameterId() override { return id; }
    int32 PLUGIN_API getPointCount() override { return static_cast<int32>(points.size()); }
    tresult PLUGIN_API getPoint(int32 index, int32& offset, ParamValue& value) override {
        if (index < 0 || index >= getPointCount()) {
            return kResultFalse;
        }
        offset = points[static_cast<std::size_t>(index)].first;
        value = points[static_cast<std::size_t>(index)].second;
        return kResultOk;
    }
    tresult PLUGIN_API addPoint(int32, ParamValue, int32&) override { return kResultFalse; }

    ParamID id = 0;
    std::vector<std::pair<int32, double>> points;
};

class ParameterChanges final : public IParameterChanges {
public:
    explicit ParameterChanges(const std::vector<ParamPoint>& changes) {
        for (const ParamPoint& p : changes) {
            auto found = std::find_if(queues.begin(), queues.end(),
                                      [&](const ValueQueue& q) { return q.id == p.id; });
            if (found == queues.end()) {
                queues.emplace_back();
                queues.back().id = p.id;
                found = queues.end() - 1;
            }
            found->points.emplace_back(p.offset, p.value);
        }
    }
    tresult PLUGIN_API queryInterface(const TUID, void** obj) override {
        *obj = nullptr;
        return kNoInterface;
    }
    TEST_FIXED_COUNT
    int32 PLUGIN_API getParameterCount() override { return static_cast<int32>(queues.size()); }
    IParamValueQueue* PLUGIN_API getParameterData(int32 index) override {
        return index >= 0 && index < getParameterCount() ? &queues[static_cast<std::size_t>(index)]
                                                         : nullptr;
    }
    IParamValueQueue* PLUGIN_API addParameterData(const ParamID&, int32&) override {
        return nullptr;
    }

private:
    std::vector<ValueQueue> queues;
};

// A function the library exports, by its own type (through the generic function pointer type,
// which any function pointer converts to and from).
template <class F> F exported(const PluginLibrary& library, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(library.entry(name)));
}

} // namespace

// ---- The host's objects -------------------------------------------------------------------

struct Vst3Instance::Host final : public IHostApplication,
                                  public IComponentHandler,
                                  public IPlugFrame
#if SMTG_OS_LINUX
    ,
                                  public Linux::IRunLoop
#endif
{
    explicit Host(Vst3Instance& owner) : owner(owner) {}

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        *obj = nullptr;
        if (same(iid, FUnknown_iid) || same(iid, IHostApplication_iid)) {
            *obj = static_cast<IHostApplication*>(this);
        } else if (same(iid, IComponentHandler_iid)) {
            *obj = static_cast<IComponentHandler*>(this);
        } else if (same(iid, IPlugFrame_iid)) {
            *obj = static_cast<IPlugFrame*>(this);
#if SMTG_OS_LINUX
        } else if (same(iid, Linux::IRunLoop_iid) && owner.withRunLoop) {
            *obj = static_cast<Linux::IRunLoop*>(this);
#endif
        } else {
            return kNoInterface;
        }
        return kResultOk;
    }
    TEST_FIXED_COUNT

    // IHostApplication
    tresult PLUGIN_API getName(String128 name) override {
        const char* text = "Gravelix test host";
        std::size_t i = 0;
        for (; text[i]; ++i) {
            name[i] = static_cast<TChar>(text[i]);
        }
        name[i] = 0;
        return kResultOk;
    }
    tresult PLUGIN_API createInstance(TUID cid, TUID iid, void** obj) override {
        if (same(cid, IMessage_iid) && same(iid, IMessage_iid)) {
            *obj = static_cast<IMessage*>(new Message);
            return kResultOk;
        }
        if (same(cid, IAttributeList_iid) && same(iid, IAttributeList_iid)) {
            *obj = static_cast<IAttributeList*>(new AttributeList);
            return kResultOk;
        }
        *obj = nullptr;
        return kResultFalse;
    }

    // IComponentHandler
    tresult PLUGIN_API beginEdit(ParamID id) override { return edit('b', id, 0.0); }
    tresult PLUGIN_API performEdit(ParamID id, ParamValue value) override {
        return edit('p', id, value);
    }
    tresult PLUGIN_API endEdit(ParamID id) override { return edit('e', id, 0.0); }
    tresult PLUGIN_API restartComponent(int32 flags) override {
        owner.noteThread();
        owner.calls_.restarts.push_back(flags);
        return kResultOk;
    }
    tresult edit(char kind, ParamID id, double value) {
        owner.noteThread();
        owner.calls_.edits.push_back({kind, id, value});
        return kResultOk;
    }

    // IPlugFrame
    tresult PLUGIN_API resizeView(IPlugView* view, ViewRect* size) override {
        owner.noteThread();
        owner.calls_.resizes.emplace_back(size->getWidth(), size->getHeight());
        if (!owner.resizeAnswer) {
            return kResultFalse;
        }
        view->onSize(size);
        return kResultOk;
    }

#if SMTG_OS_LINUX
    // Linux::IRunLoop
    tresult PLUGIN_API registerEventHandler(Linux::IEventHandler* handler,
                                            Linux::FileDescriptor fd) override {
        owner.noteThread();
        handler->addRef();
        descriptors.emplace_back(handler, fd);
        return kResultOk;
    }
    tresult PLUGIN_API unregisterEventHandler(Linux::IEventHandler* handler) override {
        owner.noteThread();
        const auto found = std::find_if(descriptors.begin(), descriptors.end(),
                                        [&](const auto& d) { return d.first == handler; });
        if (found == descriptors.end()) {
            return kResultFalse;
        }
        found->first->release();
        descriptors.erase(found);
        return kResultOk;
    }
    tresult PLUGIN_API registerTimer(Linux::ITimerHandler* handler,
                                     Linux::TimerInterval ms) override {
        owner.noteThread();
        handler->addRef();
        timers.emplace_back(handler, ms);
        ++owner.timersEver;
        return kResultOk;
    }
    tresult PLUGIN_API unregisterTimer(Linux::ITimerHandler* handler) override {
        owner.noteThread();
        const auto found = std::find_if(timers.begin(), timers.end(),
                                        [&](const auto& t) { return t.first == handler; });
        if (found == timers.end()) {
            return kResultFalse;
        }
        found->first->release();
        timers.erase(found);
        return kResultOk;
    }

    std::vector<std::pair<Linux::IEventHandler*, Linux::FileDescriptor>> descriptors;
    std::vector<std::pair<Linux::ITimerHandler*, Linux::TimerInterval>> timers;
#endif

    Vst3Instance& owner;
};

// ---- TestStream -----------------------------------------------------------------------------

tresult PLUGIN_API TestStream::queryInterface(const TUID iid, void** obj) {
    if (same(iid, FUnknown_iid) || same(iid, IBStream_iid)) {
        *obj = this;
        return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
}

tresult PLUGIN_API TestStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
    const std::size_t left = at < bytes.size() ? bytes.size() - at : 0;
    const std::size_t n = std::min({static_cast<std::size_t>(std::max(numBytes, 0)), left, chunk});
    if (n > 0) {
        std::memcpy(buffer, bytes.data() + at, n);
    }
    at += n;
    if (numBytesRead) {
        *numBytesRead = static_cast<int32>(n);
    }
    return kResultOk;
}

tresult PLUGIN_API TestStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
    const std::size_t n = std::min(static_cast<std::size_t>(std::max(numBytes, 0)), chunk);
    if (bytes.size() < at + n) {
        bytes.resize(at + n);
    }
    std::memcpy(bytes.data() + at, buffer, n);
    at += n;
    if (numBytesWritten) {
        *numBytesWritten = static_cast<int32>(n);
    }
    return kResultOk;
}

tresult PLUGIN_API TestStream::seek(int64 pos, int32 mode, int64* result) {
    const int64 base = mode == kIBSeekSet   ? 0
                       : mode == kIBSeekCur ? static_cast<int64>(at)
                                            : static_cast<int64>(bytes.size());
    if (base + pos < 0) {
        return kResultFalse;
    }
    at = static_cast<std::size_t>(base + pos);
    if (result) {
        *result = static_cast<int64>(at);
    }
    return kResultOk;
}

tresult PLUGIN_API TestStream::tell(int64* pos) {
    if (pos) {
        *pos = static_cast<int64>(at);
    }
    return kResultOk;
}

// ---- Vst3Library ----------------------------------------------------------------------------

Vst3Library::Vst3Library(const std::string& path) : library(path) {
    if (!library.loaded()) {
        why = library.error();
        return;
    }
#if SMTG_OS_LINUX
    using Entry = bool (*)(void*);
    const auto entry = exported<Entry>(library, "ModuleEntry");
    if (!entry || !entry(library.nativeHandle())) {
        why = "ModuleEntry missing or failed";
        return;
    }
#else
    using Entry = bool (*)();
    const auto entry = exported<Entry>(library, "InitDll");
    if (!entry || !entry()) {
        why = "InitDll missing or failed";
        return;
    }
#endif
    using GetFactory = IPluginFactory* (*)();
    const auto get = exported<GetFactory>(library, "GetPluginFactory");
    factory_ = get ? get() : nullptr;
    if (!factory_) {
        why = "no plug-in factory";
    }
}

Vst3Library::~Vst3Library() {
    if (factory_) {
        factory_->release();
    }
#if SMTG_OS_LINUX
    using Exit = bool (*)();
    if (const auto exit = exported<Exit>(library, "ModuleExit")) {
        exit();
    }
#else
    using Exit = bool (*)();
    if (const auto exit = exported<Exit>(library, "ExitDll")) {
        exit();
    }
#endif
}

// ---- Vst3Instance ---------------------------------------------------------------------------

Vst3Instance::Vst3Instance(Vst3Library& library) : host(std::make_unique<Host>(*this)) {
    IPluginFactory* factory = library.factory();
    if (!factory) {
        return;
    }
    PClassInfo info;
    for (int32 i = 0; i < factory->countClasses(); ++i) {
        if (factory->getClassInfo(i, &info) == kResultOk &&
            std::strcmp(info.category, kVstAudioEffectClass) == 0) {
            void* made = nullptr;
            if (factory->createInstance(info.cid, IComponent_iid, &made) == kResultOk) {
                component_ = static_cast<IComponent*>(made);
            }
            break;
        }
    }
    if (!component_ ||
        component_->initialize(static_cast<IHostApplication*>(host.get())) != kResultOk) {
        return;
    }
    processor_ = query<IAudioProcessor>(component_, IAudioProcessor_iid);
    TUID controllerId;
    void* made = nullptr;
    if (component_->getControllerClassId(controllerId) != kResultOk ||
        factory->createInstance(controllerId, IEditController_iid, &made) != kResultOk) {
        return;
    }
    controller_ = static_cast<IEditController*>(made);
    if (controller_->initialize(static_cast<IHostApplication*>(host.get())) != kResultOk) {
        controller_->release();
        controller_ = nullptr;
        return;
    }
    controller_->setComponentHandler(host.get());
    units_ = query<IUnitInfo>(controller_, IUnitInfo_iid);
    IConnectionPoint* a = query<IConnectionPoint>(component_, IConnectionPoint_iid);
    IConnectionPoint* b = query<IConnectionPoint>(controller_, IConnectionPoint_iid);
    if (a && b) {
        a->connect(b);
        b->connect(a);
    }
    if (a) {
        a->release();
    }
    if (b) {
        b->release();
    }
    if (const std::optional<std::vector<std::uint8_t>> state = save()) {
        TestStream stream(*state);
        controller_->setComponentState(&stream);
    }
}

Vst3Instance::~Vst3Instance() {
    for (IMessage* m : messages) {
        m->release();
    }
    releaseView();
    if (active) {
        deactivate();
    }
    IConnectionPoint* a = query<IConnectionPoint>(component_, IConnectionPoint_iid);
    IConnectionPoint* b = query<IConnectionPoint>(controller_, IConnectionPoint_iid);
    if (a && b) {
        a->disconnect(b);
        b->disconnect(a);
    }
    if (a) {
        a->release();
    }
    if (b) {
        b->release();
    }
    if (units_) {
        units_->release();
    }
    if (controller_) {
        controller_->setComponentHandler(nullptr);
        controller_->terminate();
        controller_->release();
    }
    if (processor_) {
        processor_->release();
    }
    if (component_) {
        component_->terminate();
        component_->release();
    }
}

void Vst3Instance::noteThread() {
    if (std::this_thread::get_id() != mainThread) {
        ++calls_.offMainThread;
    }
}

bool Vst3Instance::activate(double rate, int32 maxFrames) {
    SpeakerArrangement in = SpeakerArr::kStereo, out = SpeakerArr::kStereo;
    ProcessSetup setup{kRealtime, kSample32, maxFrames, rate};
    if (!ok() || processor_->setBusArrangements(&in, 1, &out, 1) != kResultOk ||
        processor_->setupProcessing(setup) != kResultOk ||
        component_->setActive(true) != kResultOk) {
        return false;
    }
    processor_->setProcessing(true);
    active = true;
    return true;
}

void Vst3Instance::deactivate() {
    processor_->setProcessing(false);
    component_->setActive(false);
    active = false;
}

tresult Vst3Instance::process(const float* inL, const float* inR, float* outL, float* outR,
                              int32 frames, const std::vector<ParamPoint>& changes) {
    float* inputs[2] = {const_cast<float*>(inL), const_cast<float*>(inR)};
    float* outputs[2] = {outL, outR};
    AudioBusBuffers in{};
    in.numChannels = 2;
    in.channelBuffers32 = inputs;
    AudioBusBuffers out{};
    out.numChannels = 2;
    out.channelBuffers32 = outputs;
    ParameterChanges parameterChanges(changes);
    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = frames;
    data.numInputs = inL ? 1 : 0;
    data.numOutputs = outL ? 1 : 0;
    data.inputs = inL ? &in : nullptr;
    data.outputs = outL ? &out : nullptr;
    data.inputParameterChanges = &parameterChanges;
    return processor_->process(data);
}

IMessage* Vst3Instance::makeMessage(const char* id) {
    auto* message = new Message;
    message->setMessageID(id);
    messages.push_back(message);
    return message;
}

std::optional<std::vector<std::uint8_t>> Vst3Instance::save() {
    TestStream stream;
    if (component_->getState(&stream) != kResultOk) {
        return std::nullopt;
    }
    return stream.bytes;
}

tresult Vst3Instance::load(TestStream& stream) {
    return component_->setState(&stream);
}

tresult Vst3Instance::loadController(TestStream& stream) {
    return controller_->setComponentState(&stream);
}

std::string Vst3Instance::text(ParamID id, double value) {
    String128 out{};
    if (controller_->getParamStringByValue(id, value, out) != kResultOk) {
        return "<none>";
    }
    std::string ascii;
    for (const TChar* c = out; *c; ++c) {
        ascii.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
    }
    return ascii;
}

std::optional<double> Vst3Instance::valueOf(ParamID id, const std::string& text) {
    String128 wide{};
    for (std::size_t i = 0; i < text.size() && i < 127; ++i) {
        wide[i] = static_cast<TChar>(static_cast<unsigned char>(text[i]));
    }
    ParamValue value = -1.0;
    if (controller_->getParamValueByString(id, wide, value) != kResultOk) {
        return std::nullopt;
    }
    return value;
}

IPlugView* Vst3Instance::createView() {
    releaseView();
    view_ = controller_->createView(ViewType::kEditor);
    if (view_) {
        view_->setFrame(host.get());
    }
    return view_;
}

void Vst3Instance::releaseView() {
    if (view_) {
        view_->setFrame(nullptr);
        view_->release();
        view_ = nullptr;
    }
}

std::size_t Vst3Instance::timerCount() const {
#if SMTG_OS_LINUX
    return host->timers.size();
#else
    return 0;
#endif
}

std::size_t Vst3Instance::descriptorCount() const {
#if SMTG_OS_LINUX
    return host->descriptors.size();
#else
    return 0;
#endif
}

void Vst3Instance::fireTimers() {
#if SMTG_OS_LINUX
    const auto timers = host->timers;
    for (const auto& t : timers) {
        t.first->onTimer();
    }
#endif
}

void Vst3Instance::fireDescriptors() {
#if SMTG_OS_LINUX
    const auto descriptors = host->descriptors;
    for (const auto& d : descriptors) {
        d.first->onFDIsSet(d.second);
    }
#endif
}

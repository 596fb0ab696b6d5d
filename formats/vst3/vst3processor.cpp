#include "vst3processor.h"

#include <pluginterfaces/vst/ivsthostapplication.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>
#include <pluginterfaces/vst/vstspeaker.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "vst3ids.h"
#include "vst3parameters.h"
#include "vst3statestream.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

// More queues than parameters: a host repeating one is still heard.
constexpr int32 kMaxQueues = 2 * vst3params::kCount;

struct QueueCursor {
    IParamValueQueue* queue;
    ParamID id;
    int32 next;
    int32 count;
};

} // namespace

Vst3Processor::~Vst3Processor() {
    terminate();
}

tresult PLUGIN_API Vst3Processor::queryInterface(const TUID iid, void** obj) {
    if (!obj) {
        return kInvalidArgument;
    }
    *obj = nullptr;
    if (vst3::sameId(iid, FUnknown_iid) || vst3::sameId(iid, IPluginBase_iid) ||
        vst3::sameId(iid, IComponent_iid)) {
        *obj = static_cast<IComponent*>(this);
    } else if (vst3::sameId(iid, IAudioProcessor_iid)) {
        *obj = static_cast<IAudioProcessor*>(this);
    } else if (vst3::sameId(iid, IConnectionPoint_iid)) {
        *obj = static_cast<IConnectionPoint*>(this);
    } else if (vst3::sameId(iid, IProcessContextRequirements_iid)) {
        *obj = static_cast<IProcessContextRequirements*>(this);
    } else {
        return kNoInterface;
    }
    addRef();
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::initialize(FUnknown* context) {
    if (hostContext) {
        return kResultFalse;
    }
    hostContext = context;
    if (hostContext) {
        hostContext->addRef();
    }
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::terminate() {
    if (peer) {
        peer->release();
        peer = nullptr;
    }
    if (hostContext) {
        hostContext->release();
        hostContext = nullptr;
    }
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::getControllerClassId(TUID classId) {
    std::memcpy(classId, vst3ids::kThisPedal.controller, sizeof(TUID));
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::setIoMode(IoMode) {
    return kNotImplemented;
}

int32 PLUGIN_API Vst3Processor::getBusCount(MediaType type, BusDirection) {
    return type == kAudio ? 1 : 0;
}

tresult PLUGIN_API Vst3Processor::getBusInfo(MediaType type, BusDirection dir, int32 index,
                                             BusInfo& bus) {
    if (type != kAudio || index != 0) {
        return kInvalidArgument;
    }
    bus = {};
    bus.mediaType = kAudio;
    bus.direction = dir;
    bus.channelCount = 2;
    vst3params::copyString(dir == Steinberg::Vst::kInput ? "Stereo In" : "Stereo Out", bus.name);
    bus.busType = kMain;
    bus.flags = BusInfo::kDefaultActive;
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::getRoutingInfo(RoutingInfo&, RoutingInfo&) {
    return kNotImplemented;
}

tresult PLUGIN_API Vst3Processor::activateBus(MediaType type, BusDirection, int32 index, TBool) {
    // The one pair of buses is always there; the pedal hears silence from an inactive input.
    return type == kAudio && index == 0 ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API Vst3Processor::setActive(TBool state) {
    if (state) {
        pedal.reset();
    }
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::setState(IBStream* stream) {
    const std::optional<PedalState> state = vst3state::read(stream);
    if (!state) {
        return kResultFalse;
    }
    pedal.restore(*state);
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::getState(IBStream* stream) {
    return vst3state::write(stream, pedal.state()) ? kResultOk : kResultFalse;
}

tresult PLUGIN_API Vst3Processor::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                     SpeakerArrangement* outputs, int32 numOuts) {
    const bool stereoPair = numIns == 1 && numOuts == 1 && inputs && outputs &&
                            inputs[0] == SpeakerArr::kStereo && outputs[0] == SpeakerArr::kStereo;
    return stereoPair ? kResultOk : kResultFalse;
}

tresult PLUGIN_API Vst3Processor::getBusArrangement(BusDirection, int32 index,
                                                    SpeakerArrangement& arr) {
    if (index != 0) {
        return kInvalidArgument;
    }
    arr = SpeakerArr::kStereo;
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::canProcessSampleSize(int32 symbolicSampleSize) {
    // The core computes in single precision; doubles through it would not be the pedal's bits.
    return symbolicSampleSize == kSample32 ? kResultOk : kResultFalse;
}

uint32 PLUGIN_API Vst3Processor::getLatencySamples() {
    return static_cast<uint32>(pedal.latencyFrames());
}

tresult PLUGIN_API Vst3Processor::setupProcessing(ProcessSetup& setup) {
    if (setup.symbolicSampleSize != kSample32 || !std::isfinite(setup.sampleRate) ||
        !(setup.sampleRate > 0.0)) {
        return kResultFalse;
    }
    if (pedal.setSampleRate(static_cast<float>(setup.sampleRate))) {
        tellLatency();
    }
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::setProcessing(TBool) {
    return kResultOk;
}

void Vst3Processor::apply(ParamID id, double value) {
    if (!std::isfinite(value)) {
        return;
    }
    if (id == vst3ids::kProgramParameter) {
        // Another program comes as the factory made it: a host lists these as factory
        // content, and edits kept in its record since it was last loaded must not come back.
        // The current one is applied again from its record, which holds the values as they are
        // (a host restoring a project may send it), as the VST 2.4 effect does.
        const std::int32_t program = vst3params::programOf(value);
        if (program != pedal.program()) {
            pedal.programs[static_cast<std::size_t>(program)] = kFactoryPrograms[program];
        }
        pedal.applyProgram(program);
    } else if (vst3params::isPedalParameter(id)) {
        const auto index = static_cast<std::int32_t>(id);
        pedal.set(index, vst3params::fromVst3(index, value));
    }
}

tresult PLUGIN_API Vst3Processor::process(ProcessData& data) {
    // Audio thread; real time: no allocation, locks or host calls but the parameter queues'.
    if (data.symbolicSampleSize != kSample32) {
        return kResultFalse;
    }
    const int32 frames = std::max<int32>(data.numSamples, 0);
    const bool haveOutputs = frames > 0 && data.numOutputs > 0 && data.outputs &&
                             data.outputs[0].numChannels >= 2 && data.outputs[0].channelBuffers32 &&
                             data.outputs[0].channelBuffers32[0] &&
                             data.outputs[0].channelBuffers32[1];
    float* outL = haveOutputs ? data.outputs[0].channelBuffers32[0] : nullptr;
    float* outR = haveOutputs ? data.outputs[0].channelBuffers32[1] : nullptr;
    const float* inL = outL;
    const float* inR = outR;
    if (haveOutputs) {
        if (data.numInputs > 0 && data.inputs && data.inputs[0].numChannels >= 2 &&
            data.inputs[0].channelBuffers32 && data.inputs[0].channelBuffers32[0] &&
            data.inputs[0].channelBuffers32[1]) {
            inL = data.inputs[0].channelBuffers32[0];
            inR = data.inputs[0].channelBuffers32[1];
        } else {
            std::fill(outL, outL + frames, 0.0f);
            std::fill(outR, outR + frames, 0.0f);
        }
        data.outputs[0].silenceFlags = 0;
    }

    QueueCursor cursors[kMaxQueues];
    int32 queues = 0;
    if (IParameterChanges* changes = data.inputParameterChanges) {
        const int32 count = changes->getParameterCount();
        for (int32 i = 0; i < count && queues < kMaxQueues; ++i) {
            IParamValueQueue* q = changes->getParameterData(i);
            if (!q) {
                continue;
            }
            const ParamID id = q->getParameterId();
            const int32 points = q->getPointCount();
            if (points > 0 &&
                (vst3params::isPedalParameter(id) || id == vst3ids::kProgramParameter)) {
                cursors[queues++] = {q, id, 0, points};
            }
        }
    }

    // Every queue's points in the order of their offsets, the block split at each: a change is
    // heard from its own frame on. A program change goes before other changes at its frame.
    int32 done = 0;
    for (;;) {
        int32 best = -1;
        int32 bestOffset = 0;
        ParamValue bestValue = 0.0;
        for (int32 i = 0; i < queues; ++i) {
            QueueCursor& c = cursors[i];
            int32 offset = 0;
            ParamValue value = 0.0;
            while (c.next < c.count && c.queue->getPoint(c.next, offset, value) != kResultOk) {
                ++c.next;
            }
            if (c.next >= c.count) {
                continue;
            }
            const bool earlier = best < 0 || offset < bestOffset ||
                                 (offset == bestOffset && c.id == vst3ids::kProgramParameter &&
                                  cursors[best].id != vst3ids::kProgramParameter);
            if (earlier) {
                best = i;
                bestOffset = offset;
                bestValue = value;
            }
        }
        if (best < 0) {
            break;
        }
        const int32 at = std::clamp(bestOffset, done, frames);
        if (at > done && haveOutputs) {
            pedal.process(inL + done, inR + done, outL + done, outR + done, at - done);
        }
        done = at;
        apply(cursors[best].id, bestValue);
        ++cursors[best].next;
    }
    if (frames > done && haveOutputs) {
        pedal.process(inL + done, inR + done, outL + done, outR + done, frames - done);
    }
    return kResultOk;
}

uint32 PLUGIN_API Vst3Processor::getTailSamples() {
    return kNoTail;
}

void Vst3Processor::tellLatency() {
    IHostApplication* app = vst3::queryAs<IHostApplication>(hostContext, IHostApplication_iid);
    if (!app) {
        return;
    }
    void* made = nullptr;
    TUID messageId;
    std::memcpy(messageId, IMessage_iid, sizeof messageId);
    if (peer && app->createInstance(messageId, messageId, &made) == kResultOk && made) {
        auto* message = static_cast<IMessage*>(made);
        message->setMessageID(kLatencyMessage);
        if (IAttributeList* attributes = message->getAttributes()) {
            attributes->setInt(kLatencyFrames, pedal.latencyFrames());
        }
        peer->notify(message);
        message->release();
    }
    app->release();
}

tresult PLUGIN_API Vst3Processor::connect(IConnectionPoint* other) {
    if (!other) {
        return kInvalidArgument;
    }
    if (peer) {
        return kResultFalse;
    }
    peer = other;
    peer->addRef();
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::disconnect(IConnectionPoint* other) {
    if (!peer || other != peer) {
        return kResultFalse;
    }
    peer->release();
    peer = nullptr;
    return kResultOk;
}

tresult PLUGIN_API Vst3Processor::notify(IMessage*) {
    return kResultFalse;
}

#include "vst3parameterchanges.h"

namespace gravelix::host {

using namespace Steinberg;

tresult PLUGIN_API Vst3ParamQueue::queryInterface(const TUID iid, void** obj) {
    QUERY_INTERFACE(iid, obj, FUnknown::iid, Vst::IParamValueQueue)
    QUERY_INTERFACE(iid, obj, Vst::IParamValueQueue::iid, Vst::IParamValueQueue)
    *obj = nullptr;
    return kNoInterface;
}

tresult PLUGIN_API Vst3ParamQueue::getPoint(int32 index, int32& sampleOffset,
                                            Vst::ParamValue& value) {
    if (index < 0 || index >= count_) {
        return kInvalidArgument;
    }
    sampleOffset = offsets_[index];
    value = values_[index];
    return kResultOk;
}

// Points stay in order of their offsets; one at an offset already held replaces it.
tresult PLUGIN_API Vst3ParamQueue::addPoint(int32 sampleOffset, Vst::ParamValue value,
                                            int32& index) {
    int32 at = count_;
    while (at > 0 && offsets_[at - 1] > sampleOffset) {
        --at;
    }
    if (at > 0 && offsets_[at - 1] == sampleOffset) {
        values_[at - 1] = value;
        index = at - 1;
        return kResultOk;
    }
    if (count_ == kPoints) {
        return kOutOfMemory;
    }
    for (int32 i = count_; i > at; --i) {
        offsets_[i] = offsets_[i - 1];
        values_[i] = values_[i - 1];
    }
    offsets_[at] = sampleOffset;
    values_[at] = value;
    ++count_;
    index = at;
    return kResultOk;
}

void Vst3ParameterChanges::reserve(std::size_t parameters) {
    queues_.resize(parameters);
    used_ = 0;
}

void Vst3ParameterChanges::set(Vst::ParamID id, Vst::ParamValue value) {
    int32 index = 0;
    if (Vst::IParamValueQueue* queue = addParameterData(id, index)) {
        int32 point = 0;
        queue->addPoint(0, value, point);
    }
}

tresult PLUGIN_API Vst3ParameterChanges::queryInterface(const TUID iid, void** obj) {
    QUERY_INTERFACE(iid, obj, FUnknown::iid, Vst::IParameterChanges)
    QUERY_INTERFACE(iid, obj, Vst::IParameterChanges::iid, Vst::IParameterChanges)
    *obj = nullptr;
    return kNoInterface;
}

Vst::IParamValueQueue* PLUGIN_API Vst3ParameterChanges::getParameterData(int32 index) {
    return index >= 0 && index < used_ ? &queues_[static_cast<std::size_t>(index)] : nullptr;
}

Vst::IParamValueQueue* PLUGIN_API Vst3ParameterChanges::addParameterData(const Vst::ParamID& id,
                                                                         int32& index) {
    for (int32 i = 0; i < used_; ++i) {
        if (queues_[static_cast<std::size_t>(i)].getParameterId() == id) {
            index = i;
            return &queues_[static_cast<std::size_t>(i)];
        }
    }
    if (static_cast<std::size_t>(used_) == queues_.size()) {
        return nullptr;
    }
    index = used_;
    Vst3ParamQueue& queue = queues_[static_cast<std::size_t>(used_++)];
    queue.reset(id);
    return &queue;
}

} // namespace gravelix::host

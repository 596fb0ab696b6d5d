// The parameter changes of one block, in and out: a queue per parameter with room for a fixed
// number of points, all sized before processing so that the audio thread never allocates.
// Owned by the host and never handed to the plug-in to keep, so the reference count is a stub.
#pragma once

#include <pluginterfaces/vst/ivstparameterchanges.h>

#include <vector>

namespace gravelix::host {

class Vst3ParamQueue final : public Steinberg::Vst::IParamValueQueue {
public:
    static constexpr int kPoints = 64;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

    Steinberg::Vst::ParamID PLUGIN_API getParameterId() override { return id_; }
    Steinberg::int32 PLUGIN_API getPointCount() override { return count_; }
    Steinberg::tresult PLUGIN_API getPoint(Steinberg::int32 index, Steinberg::int32& sampleOffset,
                                           Steinberg::Vst::ParamValue& value) override;
    Steinberg::tresult PLUGIN_API addPoint(Steinberg::int32 sampleOffset,
                                           Steinberg::Vst::ParamValue value,
                                           Steinberg::int32& index) override;

    void reset(Steinberg::Vst::ParamID id) {
        id_ = id;
        count_ = 0;
    }

private:
    Steinberg::Vst::ParamID id_ = 0;
    Steinberg::int32 count_ = 0;
    Steinberg::int32 offsets_[kPoints] = {};
    Steinberg::Vst::ParamValue values_[kPoints] = {};
};

class Vst3ParameterChanges final : public Steinberg::Vst::IParameterChanges {
public:
    // Room for `parameters` queues; main thread, while no block runs.
    void reserve(std::size_t parameters);
    // Audio thread: no allocation.
    void clear() { used_ = 0; }
    // The value at offset 0 of this block (a later one for the same id replaces it).
    void set(Steinberg::Vst::ParamID id, Steinberg::Vst::ParamValue value);

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

    Steinberg::int32 PLUGIN_API getParameterCount() override { return used_; }
    Steinberg::Vst::IParamValueQueue* PLUGIN_API getParameterData(Steinberg::int32 index) override;
    Steinberg::Vst::IParamValueQueue* PLUGIN_API addParameterData(const Steinberg::Vst::ParamID& id,
                                                                  Steinberg::int32& index) override;

private:
    std::vector<Vst3ParamQueue> queues_;
    Steinberg::int32 used_ = 0;
};

} // namespace gravelix::host

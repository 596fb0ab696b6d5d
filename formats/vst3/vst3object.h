// The reference counting and interface lookup every object we hand a VST3 host shares.
#pragma once

#include <pluginterfaces/base/funknown.h>

#include <atomic>
#include <cstring>

namespace vst3 {

inline bool sameId(const Steinberg::TUID a, const Steinberg::TUID b) {
    return std::memcmp(a, b, sizeof(Steinberg::TUID)) == 0;
}

// Asks `object` for interface I (its `iid` constant); null when it has none. The caller releases.
template <class I> I* queryAs(Steinberg::FUnknown* object, const Steinberg::TUID iid) {
    void* found = nullptr;
    if (!object || object->queryInterface(iid, &found) != Steinberg::kResultOk) {
        return nullptr;
    }
    return static_cast<I*>(found);
}

// A reference count starting at 1 for the creator; the object deletes itself at 0.
class RefCount {
public:
    Steinberg::uint32 add() { return count.fetch_add(1, std::memory_order_relaxed) + 1; }
    // The references left; at 0 the object goes.
    Steinberg::uint32 drop() { return count.fetch_sub(1, std::memory_order_acq_rel) - 1; }

private:
    std::atomic<Steinberg::uint32> count{1};
};

} // namespace vst3

// Inside a class deriving from VST3 interfaces: addRef and release over its own count, `refs`.
#define GRAVELIX_VST3_REFCOUNT                                                                     \
    Steinberg::uint32 PLUGIN_API addRef() override { return refs.add(); }                          \
    Steinberg::uint32 PLUGIN_API release() override {                                              \
        const Steinberg::uint32 left = refs.drop();                                                \
        if (left == 0) {                                                                           \
            delete this;                                                                           \
        }                                                                                          \
        return left;                                                                               \
    }                                                                                              \
    vst3::RefCount refs

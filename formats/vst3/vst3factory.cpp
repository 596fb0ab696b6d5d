// The library's entry: the plug-in factory with this pedal's two classes, the processor and its
// controller, and the functions hosts call on loading and unloading it.
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>

#include <cstdio>
#include <cstring>

#include "gravelixversion.h"
#include "vst3controller.h"
#include "vst3ids.h"
#include "vst3parameters.h"
#include "vst3processor.h"

using namespace Steinberg;

namespace {

constexpr const char* kVendor = "Keldwyn";
constexpr const char* kCategory = "Fx|Distortion";

struct ClassRow {
    const TUID& cid;
    const char* category;
    const char* name;
    int32 flags;
};

// The processor and controller run apart from each other in hosts that want it so.
const ClassRow kClasses[] = {
    {vst3ids::kThisPedal.processor, kVstAudioEffectClass, kPedalProduct, Vst::kDistributable},
    {vst3ids::kThisPedal.controller, kVstComponentControllerClass, kPedalProduct, 0},
};
constexpr int32 kClassCount = static_cast<int32>(std::size(kClasses));

template <std::size_t N> void copyText(char8 (&to)[N], const char* from) {
    std::snprintf(to, N, "%s", from);
}

class Factory final : public IPluginFactory3 {
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (!obj) {
            return kInvalidArgument;
        }
        if (vst3::sameId(iid, FUnknown_iid) || vst3::sameId(iid, IPluginFactory_iid) ||
            vst3::sameId(iid, IPluginFactory2_iid) || vst3::sameId(iid, IPluginFactory3_iid)) {
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    // One factory for the library's lifetime.
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
        if (!info) {
            return kInvalidArgument;
        }
        *info = PFactoryInfo();
        copyText(info->vendor, kVendor);
        info->flags = PFactoryInfo::kUnicode;
        return kResultOk;
    }
    int32 PLUGIN_API countClasses() override { return kClassCount; }
    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
        if (!info || index < 0 || index >= kClassCount) {
            return kInvalidArgument;
        }
        const ClassRow& row = kClasses[index];
        *info = PClassInfo();
        std::memcpy(info->cid, row.cid, sizeof(TUID));
        info->cardinality = PClassInfo::kManyInstances;
        copyText(info->category, row.category);
        copyText(info->name, row.name);
        return kResultOk;
    }
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override {
        if (!info || index < 0 || index >= kClassCount) {
            return kInvalidArgument;
        }
        const ClassRow& row = kClasses[index];
        *info = PClassInfo2();
        std::memcpy(info->cid, row.cid, sizeof(TUID));
        info->cardinality = PClassInfo::kManyInstances;
        copyText(info->category, row.category);
        copyText(info->name, row.name);
        info->classFlags = static_cast<uint32>(row.flags);
        copyText(info->subCategories, index == 0 ? kCategory : "");
        copyText(info->vendor, kVendor);
        copyText(info->version, GRAVELIX_VERSION);
        copyText(info->sdkVersion, kVstVersionString);
        return kResultOk;
    }
    tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) override {
        if (!info || index < 0 || index >= kClassCount) {
            return kInvalidArgument;
        }
        const ClassRow& row = kClasses[index];
        *info = PClassInfoW();
        std::memcpy(info->cid, row.cid, sizeof(TUID));
        info->cardinality = PClassInfo::kManyInstances;
        copyText(info->category, row.category);
        vst3params::copyString(row.name, info->name);
        info->classFlags = static_cast<uint32>(row.flags);
        copyText(info->subCategories, index == 0 ? kCategory : "");
        vst3params::copyString(kVendor, info->vendor);
        vst3params::copyString(GRAVELIX_VERSION, info->version);
        vst3params::copyString(kVstVersionString, info->sdkVersion);
        return kResultOk;
    }
    tresult PLUGIN_API setHostContext(FUnknown*) override { return kResultOk; }

    tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) override {
        if (!cid || !iid || !obj) {
            return kInvalidArgument;
        }
        *obj = nullptr;
        FUnknown* made = nullptr;
        try {
            if (vst3::sameId(cid, vst3ids::kThisPedal.processor)) {
                made = static_cast<Vst::IComponent*>(new Vst3Processor);
            } else if (vst3::sameId(cid, vst3ids::kThisPedal.controller)) {
                made = static_cast<Vst::IEditController*>(new Vst3Controller);
            } else {
                return kNoInterface;
            }
        } catch (...) {
            return kOutOfMemory;
        }
        const tresult answer = made->queryInterface(iid, obj);
        made->release();
        return answer;
    }
};

Factory factory;

} // namespace

#if defined(_WIN32)
#define GRAVELIX_VST3_EXPORT extern "C" __declspec(dllexport)
#else
#define GRAVELIX_VST3_EXPORT extern "C" __attribute__((visibility("default")))
#endif

GRAVELIX_VST3_EXPORT IPluginFactory* PLUGIN_API GetPluginFactory() {
    return &factory;
}

// Nothing to set up or tear down per load: the library keeps no global state of its own here.
#if defined(_WIN32)
GRAVELIX_VST3_EXPORT bool InitDll() {
    return true;
}
GRAVELIX_VST3_EXPORT bool ExitDll() {
    return true;
}
#else
GRAVELIX_VST3_EXPORT bool ModuleEntry(void*) {
    return true;
}
GRAVELIX_VST3_EXPORT bool ModuleExit() {
    return true;
}
#endif

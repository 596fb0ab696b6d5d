#include "vst3controller.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "gravelixeditor.h"
#include "pedalcore.h"
#include "vst3ids.h"
#include "vst3parameters.h"
#include "vst3processor.h"
#include "vst3statestream.h"
#include "vst3view.h"

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace {

bool isParameterIndex(std::int32_t index) {
    return index >= 0 && index < kParameterCount;
}

// A core value as the host sees it: a switch at the position it sets.
double shownValue(std::int32_t index, float value) {
    const ::ParameterInfo& row = parameterInfo(index);
    if (row.answer == ParameterAnswer::aboveHalf) {
        value = value > 0.5f ? 1.0f : 0.0f;
    } else if (row.answer == ParameterAnswer::atOne) {
        value = value == 1.0f ? 1.0f : 0.0f;
    }
    return vst3params::toVst3(index, value);
}

} // namespace

Vst3Controller::Vst3Controller() = default;

Vst3Controller::~Vst3Controller() {
    terminate();
}

tresult PLUGIN_API Vst3Controller::queryInterface(const TUID iid, void** obj) {
    if (!obj) {
        return kInvalidArgument;
    }
    *obj = nullptr;
    if (vst3::sameId(iid, FUnknown_iid) || vst3::sameId(iid, IPluginBase_iid) ||
        vst3::sameId(iid, IEditController_iid)) {
        *obj = static_cast<IEditController*>(this);
    } else if (vst3::sameId(iid, IUnitInfo_iid)) {
        *obj = static_cast<IUnitInfo*>(this);
    } else if (vst3::sameId(iid, IConnectionPoint_iid)) {
        *obj = static_cast<IConnectionPoint*>(this);
    } else {
        return kNoInterface;
    }
    addRef();
    return kResultOk;
}

tresult PLUGIN_API Vst3Controller::initialize(FUnknown* context) {
    if (hostContext) {
        return kResultFalse;
    }
    hostContext = context;
    if (hostContext) {
        hostContext->addRef();
    }
    for (const ::ParameterInfo& row : kParameterTable) {
        values[static_cast<std::size_t>(row.index)] = shownValue(row.index, defaultValue(row));
    }
    // Made with the instance, as the other formats make it: the panels are ready when the host
    // opens a view.
    try {
        editor = std::make_unique<gravelixeditor>(*this);
    } catch (...) {
        editor.reset();
    }
    return kResultOk;
}

tresult PLUGIN_API Vst3Controller::terminate() {
    if (view) {
        view->controllerGone();
    }
    editor.reset();
    if (handler) {
        handler->release();
        handler = nullptr;
    }
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

tresult PLUGIN_API Vst3Controller::setComponentState(IBStream* stream) {
    const std::optional<PedalState> state = vst3state::read(stream);
    if (!state) {
        // Failing here fails the host's whole project load; the pedal keeps what it had.
        std::fprintf(stderr,
                     "%s: the saved state is not one this version reads; keeping the values "
                     "it had\n",
                     kPedalProduct);
        return kResultOk;
    }
    program = state->program;
    for (std::int32_t i = 0; i < kParameterCount; ++i) {
        const float v = state->values[static_cast<std::size_t>(i)];
        values[static_cast<std::size_t>(i)] = shownValue(i, v);
        if (editor) {
            editor->setParameter(i, v);
        }
    }
    return kResultOk;
}

tresult PLUGIN_API Vst3Controller::setState(IBStream*) {
    return kResultOk;
}

tresult PLUGIN_API Vst3Controller::getState(IBStream*) {
    return kResultOk;
}

int32 PLUGIN_API Vst3Controller::getParameterCount() {
    return vst3params::kCount;
}

tresult PLUGIN_API Vst3Controller::getParameterInfo(int32 paramIndex, Vst::ParameterInfo& info) {
    return vst3params::info(paramIndex, info) ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API Vst3Controller::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                         String128 string) {
    if (!string) {
        return kInvalidArgument;
    }
    return vst3params::text(id, valueNormalized, string) ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API Vst3Controller::getParamValueByString(ParamID id, TChar* string,
                                                         ParamValue& valueNormalized) {
    const std::optional<double> v = vst3params::valueOfText(id, string);
    if (!v) {
        return kResultFalse;
    }
    valueNormalized = *v;
    return kResultOk;
}

ParamValue PLUGIN_API Vst3Controller::normalizedParamToPlain(ParamID id, ParamValue value) {
    return vst3params::toPlain(id, value);
}

ParamValue PLUGIN_API Vst3Controller::plainParamToNormalized(ParamID id, ParamValue plain) {
    return vst3params::toNormalized(id, plain);
}

ParamValue PLUGIN_API Vst3Controller::getParamNormalized(ParamID id) {
    if (id == vst3ids::kProgramParameter) {
        return vst3params::valueOfProgram(program);
    }
    return vst3params::isPedalParameter(id) ? values[id] : 0.0;
}

tresult PLUGIN_API Vst3Controller::setParamNormalized(ParamID id, ParamValue value) {
    if (!std::isfinite(value)) {
        return kInvalidArgument;
    }
    if (id == vst3ids::kProgramParameter) {
        programChosen(vst3params::programOf(value));
        return kResultOk;
    }
    if (!vst3params::isPedalParameter(id)) {
        return kInvalidArgument;
    }
    const auto index = static_cast<std::int32_t>(id);
    values[id] = value < 0.0 ? 0.0 : (value > 1.0 ? 1.0 : value);
    if (editor) {
        editor->setParameter(index, vst3params::fromVst3(index, values[id]));
    }
    return kResultOk;
}

void Vst3Controller::programChosen(std::int32_t chosen) {
    // The processor applies the current program again from its record, which holds the values
    // as they are: nothing changes here.
    if (chosen == program) {
        return;
    }
    // Told later, from the view's idle: a host may hold a lock of its own around this call that
    // its restartComponent waits for (Ardour 7.3 hangs). The processor hears the program
    // change itself, so only the host's display of the values waits.
    program = chosen;
    const GravelixProgram& factory = kFactoryPrograms[chosen];
    for (const ::ParameterInfo& row : kParameterTable) {
        const float v = factory.*row.field;
        values[static_cast<std::size_t>(row.index)] = shownValue(row.index, v);
        if (editor) {
            editor->setParameter(row.index, v);
        }
    }
    pendingRestart |= kParamValuesChanged;
}

void Vst3Controller::idle() {
    if (pendingRestart != 0) {
        const int32 flags = pendingRestart;
        pendingRestart = 0;
        restart(flags);
    }
    if (editor && editor->isOpen()) {
        editor->idle();
    }
}

void Vst3Controller::restart(int32 flags) {
    if (handler) {
        handler->restartComponent(flags);
    }
}

tresult PLUGIN_API Vst3Controller::setComponentHandler(IComponentHandler* newHandler) {
    if (newHandler == handler) {
        return kResultOk;
    }
    if (handler) {
        handler->release();
    }
    handler = newHandler;
    if (handler) {
        handler->addRef();
    }
    return kResultOk;
}

IPlugView* PLUGIN_API Vst3Controller::createView(FIDString name) {
    // One editor per instance, so one view at a time.
    if (!name || std::strcmp(name, ViewType::kEditor) != 0 || !editor || view) {
        return nullptr;
    }
    view = new Vst3View(*this);
    return view;
}

void Vst3Controller::viewGone(Vst3View* gone) {
    if (view == gone) {
        view = nullptr;
    }
}

int32 PLUGIN_API Vst3Controller::getUnitCount() {
    return 1;
}

tresult PLUGIN_API Vst3Controller::getUnitInfo(int32 unitIndex, UnitInfo& info) {
    if (unitIndex != 0) {
        return kInvalidArgument;
    }
    info = {};
    info.id = kRootUnitId;
    info.parentUnitId = kNoParentUnitId;
    vst3params::copyString(kPedalProduct, info.name);
    info.programListId = vst3ids::kProgramList;
    return kResultOk;
}

int32 PLUGIN_API Vst3Controller::getProgramListCount() {
    return 1;
}

tresult PLUGIN_API Vst3Controller::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
    if (listIndex != 0) {
        return kInvalidArgument;
    }
    info = {};
    info.id = vst3ids::kProgramList;
    vst3params::copyString("Factory Programs", info.name);
    info.programCount = PedalCore::kNumPrograms;
    return kResultOk;
}

tresult PLUGIN_API Vst3Controller::getProgramName(ProgramListID listId, int32 programIndex,
                                                  String128 name) {
    if (listId != vst3ids::kProgramList || programIndex < 0 ||
        programIndex >= PedalCore::kNumPrograms || !name) {
        return kInvalidArgument;
    }
    vst3params::copyString(kFactoryPrograms[programIndex].name, name);
    return kResultOk;
}

tresult PLUGIN_API Vst3Controller::getProgramInfo(ProgramListID, int32, Vst::CString, String128) {
    return kResultFalse;
}

tresult PLUGIN_API Vst3Controller::hasProgramPitchNames(ProgramListID, int32) {
    return kResultFalse;
}

tresult PLUGIN_API Vst3Controller::getProgramPitchName(ProgramListID, int32, int16, String128) {
    return kResultFalse;
}

UnitID PLUGIN_API Vst3Controller::getSelectedUnit() {
    return kRootUnitId;
}

tresult PLUGIN_API Vst3Controller::selectUnit(UnitID unitId) {
    return unitId == kRootUnitId ? kResultOk : kInvalidArgument;
}

tresult PLUGIN_API Vst3Controller::getUnitByBus(MediaType, BusDirection, int32, int32,
                                                UnitID& unitId) {
    unitId = kRootUnitId;
    return kResultOk;
}

tresult PLUGIN_API Vst3Controller::setUnitProgramData(int32, int32, IBStream*) {
    return kNotImplemented;
}

tresult PLUGIN_API Vst3Controller::connect(IConnectionPoint* other) {
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

tresult PLUGIN_API Vst3Controller::disconnect(IConnectionPoint* other) {
    if (!peer || other != peer) {
        return kResultFalse;
    }
    peer->release();
    peer = nullptr;
    return kResultOk;
}

tresult PLUGIN_API Vst3Controller::notify(IMessage* message) {
    const char* id = message ? message->getMessageID() : nullptr;
    if (!id || std::strcmp(id, Vst3Processor::kLatencyMessage) != 0) {
        return kResultFalse;
    }
    restart(kLatencyChanged);
    return kResultOk;
}

std::int32_t Vst3Controller::parameterCount() {
    return kParameterCount;
}

float Vst3Controller::parameterValue(std::int32_t index) {
    if (!isParameterIndex(index)) {
        return 0.0f;
    }
    return vst3params::fromVst3(index, values[static_cast<std::size_t>(index)]);
}

void Vst3Controller::beginEdit(std::int32_t index) {
    if (handler && isParameterIndex(index)) {
        handler->beginEdit(static_cast<ParamID>(index));
    }
}

void Vst3Controller::performEdit(std::int32_t index, float value) {
    if (!isParameterIndex(index) || !std::isfinite(value)) {
        return;
    }
    const float v = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
    values[static_cast<std::size_t>(index)] = shownValue(index, v);
    if (editor) {
        editor->setParameter(index, v);
    }
    if (handler) {
        handler->performEdit(static_cast<ParamID>(index), values[static_cast<std::size_t>(index)]);
    }
}

void Vst3Controller::endEdit(std::int32_t index) {
    if (handler && isParameterIndex(index)) {
        handler->endEdit(static_cast<ParamID>(index));
    }
}

EditorHost::SizeAnswer Vst3Controller::resizeWindow(std::int32_t width, std::int32_t height) {
    if (!view || width <= 0 || height <= 0) {
        return SizeAnswer::unsupported;
    }
    return view->requestSize(width, height);
}

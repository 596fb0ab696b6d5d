#include "vst3parameters.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <pluginterfaces/vst/ivstunits.h>

#include "pedalcore.h"

using namespace Steinberg;
using Steinberg::Vst::kRootUnitId;
using Steinberg::Vst::ParamID;
using Steinberg::Vst::String128;
using Steinberg::Vst::TChar;
using VstInfo = Steinberg::Vst::ParameterInfo;

namespace vst3params {

namespace {

constexpr int32 kProgramSteps = PedalCore::kNumPrograms - 1;

float clamped(double v) {
    return v < 0.0 ? 0.0f : (v > 1.0 ? 1.0f : static_cast<float>(v));
}

int32 stepsOf(ParamID id) {
    if (id == vst3ids::kProgramParameter) {
        return kProgramSteps;
    }
    return isPedalParameter(id) && isSwitch(parameterInfo(static_cast<std::int32_t>(id))) ? 1 : 0;
}

} // namespace

bool isPedalParameter(ParamID id) {
    return id < static_cast<ParamID>(kParameterCount);
}

double toVst3(std::int32_t index, float value) {
    return index == kBypassParameter ? 1.0 - static_cast<double>(value)
                                     : static_cast<double>(value);
}

float fromVst3(std::int32_t index, double value) {
    float v = clamped(value);
    if (isSwitch(parameterInfo(index))) {
        v = v >= 0.5f ? 1.0f : 0.0f;
    }
    return index == kBypassParameter ? 1.0f - v : v;
}

std::int32_t programOf(double value) {
    // Each program owns an equal share of the range, as hosts draw a list.
    const double share = std::floor(static_cast<double>(clamped(value)) * (kProgramSteps + 1));
    return std::min(static_cast<std::int32_t>(share), kProgramSteps);
}

double valueOfProgram(std::int32_t program) {
    return static_cast<double>(program) / kProgramSteps;
}

bool info(int32 index, VstInfo& out) {
    if (index < 0 || index >= kCount) {
        return false;
    }
    out = {};
    out.unitId = kRootUnitId;
    if (index == kParameterCount) {
        out.id = vst3ids::kProgramParameter;
        copyString("Program", out.title);
        copyString("Program", out.shortTitle);
        out.stepCount = kProgramSteps;
        out.defaultNormalizedValue = 0.0;
        out.flags = VstInfo::kIsProgramChange | VstInfo::kIsList;
        return true;
    }
    const ParameterInfo& row = parameterInfo(index);
    out.id = static_cast<ParamID>(row.index);
    copyString(row.name, out.title);
    copyString(row.name, out.shortTitle);
    copyString(row.label, out.units);
    out.stepCount = stepsOf(out.id);
    out.defaultNormalizedValue = toVst3(row.index, defaultValue(row));
    out.flags = VstInfo::kCanAutomate;
    if (row.index == kBypassParameter) {
        out.flags |= VstInfo::kIsBypass;
    }
    return true;
}

bool text(ParamID id, double value, String128 out) {
    if (!std::isfinite(value)) {
        return false;
    }
    if (id == vst3ids::kProgramParameter) {
        copyString(kFactoryPrograms[programOf(value)].name, out);
        return true;
    }
    if (!isPedalParameter(id)) {
        return false;
    }
    const auto index = static_cast<std::int32_t>(id);
    char shown[PedalCore::kTextChars + 1] = {};
    PedalCore::displayText(index, fromVst3(index, value), shown);
    copyString(shown, out);
    return true;
}

std::optional<double> valueOfText(ParamID id, const TChar* text) {
    if (!text) {
        return std::nullopt;
    }
    // The texts are ASCII; anything else cannot name a value.
    std::string ascii;
    for (const TChar* c = text; *c != 0 && ascii.size() < 128; ++c) {
        if (*c >= 0x80) {
            return std::nullopt;
        }
        ascii.push_back(static_cast<char>(*c));
    }
    if (id == vst3ids::kProgramParameter) {
        for (std::int32_t p = 0; p < PedalCore::kNumPrograms; ++p) {
            if (ascii == kFactoryPrograms[p].name) {
                return valueOfProgram(p);
            }
        }
        return std::nullopt;
    }
    if (!isPedalParameter(id)) {
        return std::nullopt;
    }
    const auto index = static_cast<std::int32_t>(id);
    const std::optional<float> v = PedalCore::valueFromText(index, ascii.c_str());
    if (!v) {
        return std::nullopt;
    }
    return toVst3(index, *v);
}

double toPlain(ParamID id, double value) {
    const int32 steps = stepsOf(id);
    if (steps == 0) {
        return value;
    }
    return std::min(std::floor(static_cast<double>(clamped(value)) * (steps + 1)),
                    static_cast<double>(steps));
}

double toNormalized(ParamID id, double plain) {
    const int32 steps = stepsOf(id);
    if (steps == 0) {
        return plain;
    }
    return std::clamp(plain, 0.0, static_cast<double>(steps)) / steps;
}

void copyString(const char* from, String128 to) {
    std::size_t i = 0;
    for (; from && from[i] != 0 && i < 127; ++i) {
        to[i] = static_cast<TChar>(static_cast<unsigned char>(from[i]));
    }
    to[i] = 0;
}

} // namespace vst3params

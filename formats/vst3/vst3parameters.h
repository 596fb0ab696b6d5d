// The pedal's parameters as VST3 shows them: the ten of the core's table by index (the
// footswitch as the bypass, inverted, so the host's bypass button and the footswitch are one
// control) and the program change after them. Processor and controller both read this.
#pragma once

#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/vsttypes.h>

#include <cstdint>
#include <optional>

#include "parametertable.h"
#include "vst3ids.h"

namespace vst3params {

// The ten and the program change.
inline constexpr Steinberg::int32 kCount = kParameterCount + 1;

bool isPedalParameter(Steinberg::Vst::ParamID id);

// The normalised value VST3 shows for a core value, and back (switches snap to their ends).
double toVst3(std::int32_t index, float value);
float fromVst3(std::int32_t index, double value);

// The factory program a normalised program-change value selects, and its value.
std::int32_t programOf(double value);
double valueOfProgram(std::int32_t program);

// False for an index past the last parameter.
bool info(Steinberg::int32 index, Steinberg::Vst::ParameterInfo& out);
// The text for a value (the VST 2.4 display's) and its inverse; false for an unknown id, or
// text that means no value.
bool text(Steinberg::Vst::ParamID id, double value, Steinberg::Vst::String128 out);
std::optional<double> valueOfText(Steinberg::Vst::ParamID id, const Steinberg::Vst::TChar* text);
// Plain values: a switch's or the program list's position, else the normalised value.
double toPlain(Steinberg::Vst::ParamID id, double value);
double toNormalized(Steinberg::Vst::ParamID id, double plain);

// ASCII into a host's UTF-16 string, cut to its 128 units.
void copyString(const char* from, Steinberg::Vst::String128 to);

} // namespace vst3params

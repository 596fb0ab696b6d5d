#pragma once

// The ten parameters, declared once: their indices (also the editor's control tags and every
// format's stable parameter id), names, labels, how each is shown and answered, the program
// field that holds it and a stable symbol for formats that name parameters. The effect, the
// editor, the programs and every format adapter read this; the checks below turn a row missed
// anywhere into a build error.

#include <array>
#include <cstddef>
#include <cstdint>

#include "gravelixprogram.h"

enum ParameterIndex : std::int32_t {
    kOutput = 0,
    kDistortion,
    kInput,
    kOpampClipping,
    kDiodeClipping,
    kHighCut,
    kLowCut,
    kPickup,
    kStereo,
    kEffect,
    kParameterCount,
};

// What getParameterDisplay writes: the derived gain in dB, the value itself, On/Off, or
// Mono/Stereo.
enum class ParameterText { decibels, number, onOff, channels };

// What getParameter answers: the value, or the switch it sets (1 above 0.5, or 1 only at 1).
enum class ParameterAnswer { value, aboveHalf, atOne };

struct ParameterInfo {
    ParameterIndex index;
    const char* name; // whole: the two longest have 14 characters, beyond the usual 8
    const char* label;
    ParameterText text;
    ParameterAnswer answer;
    float GravelixProgram::*field;
    // Lower case, digits and underscores; never changed once released (hosts save it).
    const char* symbol;
};

// Rows in the order a program applies its values, which is the program's field order.
inline constexpr std::array<ParameterInfo, kParameterCount> kParameterTable = {{
    {kOutput, "Output", "dB", ParameterText::decibels, ParameterAnswer::value,
     &GravelixProgram::output, "output"},
    {kDistortion, "Distortion", "", ParameterText::number, ParameterAnswer::value,
     &GravelixProgram::distortion, "distortion"},
    {kInput, "Input", "dB", ParameterText::decibels, ParameterAnswer::value,
     &GravelixProgram::input, "input"},
    {kOpampClipping, "Opamp Clipping", "", ParameterText::number, ParameterAnswer::value,
     &GravelixProgram::opampClipping, "opamp_clipping"},
    {kDiodeClipping, "Diode Clipping", "", ParameterText::number, ParameterAnswer::value,
     &GravelixProgram::diodeClipping, "diode_clipping"},
    {kPickup, "Pickup", "", ParameterText::onOff, ParameterAnswer::aboveHalf,
     &GravelixProgram::pickup, "pickup"},
    {kHighCut, "High Cut", "", ParameterText::number, ParameterAnswer::value,
     &GravelixProgram::highCut, "high_cut"},
    {kLowCut, "Low Cut", "", ParameterText::number, ParameterAnswer::value,
     &GravelixProgram::lowCut, "low_cut"},
    {kStereo, "Stereo", "", ParameterText::channels, ParameterAnswer::aboveHalf,
     &GravelixProgram::stereo, "stereo"},
    {kEffect, "Effect", "", ParameterText::onOff, ParameterAnswer::atOne, &GravelixProgram::effect,
     "effect"},
}};

// The row of a valid index.
constexpr const ParameterInfo& parameterInfo(std::int32_t index) {
    std::size_t row = 0;
    while (kParameterTable[row].index != index) {
        ++row;
    }
    return kParameterTable[row];
}

constexpr bool isParameter(std::int32_t index) {
    return index >= 0 && index < kParameterCount;
}

// A switch has two positions, 0 and 1; the others are continuous from 0 to 1.
constexpr bool isSwitch(const ParameterInfo& p) {
    return p.text == ParameterText::onOff || p.text == ParameterText::channels;
}

// The value a new instance starts with: program 0's.
constexpr float defaultValue(const ParameterInfo& p) {
    return kFactoryPrograms[0].*p.field;
}

// The footswitch. Formats with a bypass parameter of their own (1 = bypassed) show it as that,
// inverted: the host's bypass button and the footswitch are one control.
inline constexpr ParameterIndex kBypassParameter = kEffect;

namespace parametertable {

// Each index has exactly one row.
constexpr bool everyIndexOnce() {
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
        int rows = 0;
        for (const ParameterInfo& p : kParameterTable) {
            rows += p.index == index;
        }
        if (rows != 1) {
            return false;
        }
    }
    return true;
}

// The rows name the program's float fields in declaration order, each once, and the program has
// no float field without a row.
constexpr bool fieldsInProgramOrder() {
    const GravelixProgram p = kFactoryPrograms[0];
    for (std::size_t row = 1; row < kParameterTable.size(); ++row) {
        if (!(&(p.*kParameterTable[row - 1].field) < &(p.*kParameterTable[row].field))) {
            return false;
        }
    }
    return true;
}

} // namespace parametertable

static_assert(parametertable::everyIndexOnce(), "each parameter index needs exactly one row");
static_assert(parametertable::fieldsInProgramOrder(),
              "rows must follow the program's field order, which is the order programs apply");
static_assert(sizeof(GravelixProgram) == kParameterCount * sizeof(float) + sizeof(char[24]),
              "every program field needs a row, and every row a field");
static_assert(kParameterCount <= 32, "the editor keeps one bit per parameter");

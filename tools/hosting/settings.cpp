#include "settings.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace gravelix::host {

namespace {

std::string programList(const PluginHost& plugin) {
    std::string out;
    for (VstInt32 i = 0; i < plugin.numPrograms(); ++i) {
        out += (i ? ", " : "") + std::to_string(i) + " " + plugin.programName(i);
    }
    return out;
}

std::string parameterList(const PluginHost& plugin) {
    std::string out;
    for (VstInt32 i = 0; i < plugin.numParams(); ++i) {
        out += (i ? ", " : "") + plugin.parameterName(i);
    }
    return out;
}

bool parseInteger(const std::string& text, long long& out) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size() && !text.empty();
}

VstInt32 resolveProgram(const PluginHost& plugin, const std::string& wanted) {
    if (plugin.numPrograms() <= 0) {
        throw std::runtime_error("the plug-in has no programs");
    }
    long long number = 0;
    if (parseInteger(wanted, number)) {
        if (number < 0 || number >= plugin.numPrograms()) {
            throw std::runtime_error("program " + wanted + " does not exist (0 to " +
                                     std::to_string(plugin.numPrograms() - 1) + ")");
        }
        return static_cast<VstInt32>(number);
    }
    const VstInt32 index = plugin.findProgram(wanted);
    if (index < 0) {
        throw std::runtime_error("unknown program '" + wanted +
                                 "' (programs: " + programList(plugin) + ")");
    }
    return index;
}

std::pair<VstInt32, float> resolveSet(const PluginHost& plugin, const std::string& item) {
    const auto eq = item.rfind('=');
    if (eq == std::string::npos || eq == 0) {
        throw std::runtime_error("--set expects NAME=VALUE, got '" + item + "'");
    }
    const std::string name = item.substr(0, eq);
    const std::string text = item.substr(eq + 1);
    const VstInt32 index = plugin.findParameter(name);
    if (index < 0) {
        throw std::runtime_error("unknown parameter '" + name +
                                 "' (parameters: " + parameterList(plugin) + ")");
    }
    // strtod accepts "nan", "inf" and hex; the range test below refuses the non-finite ones.
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size()) {
        throw std::runtime_error("value for '" + name + "' is not a number: '" + text + "'");
    }
    if (!(value >= 0.0 && value <= 1.0)) {
        throw std::runtime_error("value for '" + name + "' must be between 0 and 1, got " + text);
    }
    return {index, static_cast<float>(value)};
}

} // namespace

void applySettings(const PluginHost& plugin, const Settings& settings) {
    std::optional<VstInt32> program;
    if (settings.program) {
        program = resolveProgram(plugin, *settings.program);
    }
    std::vector<std::pair<VstInt32, float>> values;
    for (const auto& item : settings.sets) {
        values.push_back(resolveSet(plugin, item));
    }
    if (program) {
        plugin.setProgram(*program);
    }
    for (auto [index, value] : values) {
        plugin.setParameter(index, value);
    }
}

} // namespace gravelix::host

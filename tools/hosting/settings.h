// The user's choice of program and parameter values, checked against what a plug-in reports.
#pragma once

#include "pluginhost.h"

#include <optional>
#include <string>
#include <vector>

namespace gravelix::host {

struct Settings {
    std::optional<std::string> program; // a number or a program name
    std::vector<std::string> sets;      // NAME=VALUE, value normalised 0..1
};

// Applies the program first, then each value in order. Throws std::runtime_error with a
// one-line message for an unknown program or parameter, a malformed or out-of-range value;
// nothing is changed unless every item is valid.
void applySettings(const PluginHost& plugin, const Settings& settings);

} // namespace gravelix::host

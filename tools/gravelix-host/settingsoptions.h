// The --program and --set options that fill a Settings, shared by the commands that load a
// plug-in and set it up before use.
#pragma once

#include "tools/hosting/settings.h"

#include <CLI/CLI.hpp>

#include <string>

namespace gravelix::host {

// `settings` must outlive the command's parsing; an empty --program leaves the program alone.
inline void addSettingsOptions(CLI::App& cmd, Settings& settings,
                               const std::string& setHelp =
                                   "NAME=VALUE: set a parameter (name as the plug-in shows it, "
                                   "value 0 to 1); repeatable, applied after the program") {
    cmd.add_option_function<std::string>(
        "--program",
        [&settings](const std::string& program) {
            if (!program.empty()) {
                settings.program = program;
            }
        },
        "Program number or name, applied first");
    cmd.add_option("--set", settings.sets, setHelp)->allow_extra_args(false);
}

} // namespace gravelix::host

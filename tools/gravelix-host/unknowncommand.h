// Naming a mistyped subcommand instead of CLI11's bare "A subcommand is required".
#pragma once

#include <CLI/CLI.hpp>

namespace gravelix::host {

// Throws CLI::ParseError naming argv's command word when it is none of app's subcommands,
// with the nearest one as a suggestion. Call after every subcommand is added, before parse.
void rejectUnknownCommand(const CLI::App& app, int argc, const char* const* argv);

} // namespace gravelix::host

// The --tempo and --time-signature options that fill a TransportSettings, shared by the
// commands that run audio through a plug-in.
#pragma once

#include "tools/hosting/transport.h"

#include <CLI/CLI.hpp>

#include <string>

namespace gravelix::host {

// `transport` must outlive the command's parsing. Bad values are reported by checkTransport
// when the command runs, as one line.
inline void addTransportOptions(CLI::App& cmd, TransportSettings& transport) {
    cmd.add_option("--tempo", transport.tempo,
                   "Tempo in beats per minute that the plug-in is told (1 to 999)")
        ->default_val(120);
    cmd.add_option_function<std::string>(
           "--time-signature",
           [&transport](const std::string& text) { parseTimeSignature(text, transport); },
           "Time signature that the plug-in is told, N/D (default 4/4)")
        ->type_name("N/D");
}

} // namespace gravelix::host

// `gravelix-host analyze`: runs the chosen measurements on a plug-in, once per swept value,
// and writes their tables, plots and summaries to a folder.
#pragma once

#include "tools/hosting/settings.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace gravelix::analysis {

struct AnalyzeOptions {
    std::string plugin;
    std::string pluginId; // which plug-in of a CLAP file; empty for its first
    std::string outDir;
    host::Settings settings;
    int rate = 48000;
    std::string sweep;             // NAME=V1,V2,...; empty for none
    std::string only;              // comma list of analyses; empty for all
    std::string levels;            // comma list of dBFS for the aliasing tones; empty for -6
    double timeoutSeconds = 120.0; // per analysis
};

// The analyses in the order they run.
const std::vector<std::string>& analysisNames();

// Throws std::runtime_error with a one-line message for bad options (before loading anything),
// a plug-in that cannot be loaded or answers NaN (naming the analysis); a hang or crash ends
// the process with status 1 and a message naming the analysis. Files already written stay.
// Progress, one line per analysis, goes to `log`.
void analyzePlugin(const AnalyzeOptions& options, std::ostream& log);

} // namespace gravelix::analysis

// The measurements as CSV tables and the run's summary as one JSON object.
#pragma once

#include "measurements.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace gravelix::analysis {

// Every file is written whole to a temporary name and renamed, so a crash never leaves half a
// file. Throw std::runtime_error naming the file when it cannot be written.
void writeResponseCsv(const std::string& path, const ResponseResult& r);
void writeHarmonicsCsv(const std::string& path, const HarmonicsResult& r);
void writeLevelsCsv(const std::string& path, const LevelsResult& r);
void writeAliasingCsv(const std::string& path, const AliasingResult& r);

struct Summary {
    std::string plugin, path;
    int rate = 0;
    std::string program;                                    // empty when the plug-in has none
    std::vector<std::pair<std::string, double>> parameters; // name, normalised value, in order
    std::optional<int> latencyFrames, reportedLatencyFrames;
    std::optional<double> gainDbAt1kHz, thdPercentAtMinus6, worstAliasDb;
    std::vector<std::pair<std::string, double>> seconds; // analysis, wall-clock time
};
void writeSummaryJson(const std::string& path, const Summary& s);

// Writes `text` to `path` through a temporary file in the same folder.
void writeFileAtomically(const std::string& path, const std::string& text);

} // namespace gravelix::analysis

#include "analyzer.h"
#include "measurements.h"
#include "plots.h"
#include "reportfiles.h"
#include "watchdog.h"

#include "tools/hosting/pluginhost.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace gravelix::analysis {

namespace {

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> items;
    std::stringstream s(text);
    std::string item;
    while (std::getline(s, item, ',')) {
        const auto begin = item.find_first_not_of(" \t");
        const auto end = item.find_last_not_of(" \t");
        items.push_back(begin == std::string::npos ? "" : item.substr(begin, end - begin + 1));
    }
    if (!text.empty() && text.back() == ',') {
        items.emplace_back();
    }
    return items;
}

// What one --sweep value (or the single run without a sweep) produced.
struct Run {
    std::string label;  // "distortion=0.5"; empty without a sweep
    std::string suffix; // "-distortion-0.5"; empty without a sweep
    std::optional<ResponseResult> response;
    std::optional<HarmonicsResult> harmonics;
    std::optional<LevelsResult> levels;
    std::optional<AliasingResult> aliasing;
};

std::string fileSafe(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        out += std::isalnum(c) || c == '.' || c == '-' || c == '_' ? static_cast<char>(c) : '_';
    }
    return out;
}

std::string describeSettings(const host::Settings& settings) {
    std::string text;
    if (settings.program) {
        text += "program " + *settings.program;
    }
    for (const auto& set : settings.sets) {
        text += (text.empty() ? "" : ", ") + set;
    }
    return text.empty() ? "default settings" : text;
}

std::string rateText(int rate) {
    std::ostringstream s;
    s << rate / 1000.0 << " kHz";
    return s.str();
}

template <class Result>
std::vector<Curve<Result>> curvesOf(const std::vector<Run>& runs,
                                    std::optional<Result> Run::*member) {
    std::vector<Curve<Result>> curves;
    for (const Run& run : runs) {
        if ((run.*member)) {
            curves.push_back({run.label, &*(run.*member)});
        }
    }
    return curves;
}

} // namespace

const std::vector<std::string>& analysisNames() {
    static const std::vector<std::string> names{"response", "harmonics", "levels", "aliasing",
                                                "latency"};
    return names;
}

void analyzePlugin(const AnalyzeOptions& options, std::ostream& log) {
    // Everything the command line says is checked before the plug-in is loaded.
    std::vector<std::string> chosen = analysisNames();
    if (!options.only.empty()) {
        chosen.clear();
        for (const std::string& name : splitList(options.only)) {
            const auto& all = analysisNames();
            if (std::find(all.begin(), all.end(), name) == all.end()) {
                throw std::runtime_error("--only: unknown analysis '" + name +
                                         "' (choose from response, harmonics, levels, "
                                         "aliasing, latency)");
            }
            if (std::find(chosen.begin(), chosen.end(), name) == chosen.end()) {
                chosen.push_back(name);
            }
        }
    }
    auto wanted = [&](const std::string& name) {
        return std::find(chosen.begin(), chosen.end(), name) != chosen.end();
    };
    if (options.rate < 8000 || options.rate > 384000) {
        throw std::runtime_error("--rate: " + std::to_string(options.rate) +
                                 " Hz is outside 8000 to 384000");
    }
    if (!(options.timeoutSeconds > 0.0) || !std::isfinite(options.timeoutSeconds)) {
        throw std::runtime_error("--timeout: must be a positive number of seconds");
    }
    std::vector<double> levels{-6.0};
    if (!options.levels.empty()) {
        levels.clear();
        for (const std::string& v : splitList(options.levels)) {
            char* end = nullptr;
            const double db = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !(db >= -120.0 && db <= 6.0)) {
                throw std::runtime_error("--levels: '" + v +
                                         "' is not a level from -120 to 6 dBFS");
            }
            levels.push_back(db);
        }
    }
    std::string sweepName;
    std::vector<std::string> sweepValues;
    if (!options.sweep.empty()) {
        const auto eq = options.sweep.find('=');
        if (eq == std::string::npos || eq == 0) {
            throw std::runtime_error("--sweep: expected NAME=V1,V2,... but got '" + options.sweep +
                                     "'");
        }
        sweepName = options.sweep.substr(0, eq);
        sweepValues = splitList(options.sweep.substr(eq + 1));
        for (const std::string& v : sweepValues) {
            char* end = nullptr;
            const double value = std::strtod(v.c_str(), &end);
            if (v.empty() || *end != '\0' || !(value >= 0.0 && value <= 1.0)) {
                throw std::runtime_error("--sweep: value '" + v + "' of " + sweepName +
                                         " is not a number from 0 to 1");
            }
        }
    }

    host::PluginHost plugin(options.plugin, options.pluginId);
    host::applySettings(plugin, options.settings);
    if (!sweepName.empty() && plugin.findParameter(sweepName) < 0) {
        throw std::runtime_error("--sweep: the plug-in has no parameter '" + sweepName +
                                 "' (gravelix-host info lists them)");
    }
    // The folder only once the plug-in has loaded and taken its settings.
    const std::filesystem::path dir(options.outDir);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) {
        throw std::runtime_error("--out: cannot create the folder '" + options.outDir + "'" +
                                 (ec ? ": " + ec.message() : ""));
    }

    std::string effectName = plugin.effectName();
    if (effectName.empty()) {
        effectName = std::filesystem::path(options.plugin).stem().string();
    }
    PluginDriver driver(plugin, options.rate);
    const std::string kept = "the files written so far stay in " + options.outDir;
    Watchdog watchdog(options.timeoutSeconds, kept);

    auto file = [&](const std::string& stem, const std::string& suffix, const char* ext) {
        return (dir / (stem + suffix + ext)).string();
    };
    const std::string baseTitle = effectName + "  |  " + describeSettings(options.settings);

    std::vector<Run> runs;
    const std::vector<std::string> values =
        sweepValues.empty() ? std::vector<std::string>{""} : sweepValues;
    for (const std::string& value : values) {
        Run run;
        host::Settings settings = options.settings;
        if (!sweepName.empty()) {
            settings.sets.push_back(sweepName + "=" + value);
            run.label = sweepName + "=" + value;
            run.suffix = "-" + fileSafe(sweepName) + "-" + fileSafe(value);
            log << run.label << "\n";
        }
        host::applySettings(plugin, settings);
        const std::string title =
            effectName + "  |  " + describeSettings(settings) + "  |  " + rateText(options.rate);

        Summary summary;
        summary.plugin = effectName;
        summary.path = options.plugin;
        summary.rate = options.rate;
        if (plugin.numPrograms() > 0) {
            summary.program = plugin.programName(plugin.currentProgram());
        }
        for (VstInt32 i = 0; i < plugin.numParams(); ++i) {
            summary.parameters.emplace_back(plugin.parameterName(i),
                                            static_cast<double>(plugin.getParameter(i)));
        }

        for (const std::string& name : chosen) {
            watchdog.begin(name);
            const auto start = std::chrono::steady_clock::now();
            try {
                if (name == "response") {
                    run.response = measureResponse(driver);
                } else if (name == "harmonics") {
                    run.harmonics = measureHarmonics(driver);
                } else if (name == "levels") {
                    run.levels = measureLevels(driver);
                } else if (name == "aliasing") {
                    run.aliasing = measureAliasing(driver, levels);
                } else {
                    const LatencyResult latency = measureLatency(driver);
                    summary.latencyFrames = latency.measuredFrames;
                    summary.reportedLatencyFrames = latency.reportedFrames;
                }
            } catch (const std::exception& e) {
                watchdog.end();
                throw std::runtime_error("'" + name + "'" +
                                         (run.label.empty() ? "" : " at " + run.label) + ": " +
                                         e.what() + "; " + kept);
            }
            watchdog.end();
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            summary.seconds.emplace_back(name, seconds);

            if (name == "response") {
                summary.gainDbAt1kHz = run.response->gainAt1kHzDb;
                writeResponseCsv(file("response", run.suffix, ".csv"), *run.response);
                plotResponse(file("response", run.suffix, ".png"), title,
                             {{run.label, &*run.response}});
            } else if (name == "harmonics") {
                summary.thdPercentAtMinus6 = run.harmonics->thdAtMinus6Percent;
                writeHarmonicsCsv(file("harmonics", run.suffix, ".csv"), *run.harmonics);
                plotHarmonics(file("harmonics", run.suffix, ".png"), title, options.rate,
                              {{run.label, &*run.harmonics}});
            } else if (name == "levels") {
                writeLevelsCsv(file("levels", run.suffix, ".csv"), *run.levels);
                plotLevels(file("levels", run.suffix, ".png"), title, options.rate,
                           {{run.label, &*run.levels}});
            } else if (name == "aliasing") {
                summary.worstAliasDb = run.aliasing->worstAliasDb;
                writeAliasingCsv(file("aliasing", run.suffix, ".csv"), *run.aliasing);
                plotAliasing(file("aliasing", run.suffix, ".png"), title,
                             {{run.label, &*run.aliasing}});
            }
            char line[96];
            std::snprintf(line, sizeof line, "  %-10s %6.2f s\n", name.c_str(), seconds);
            log << line << std::flush;
        }
        writeSummaryJson(file("summary", run.suffix, ".json"), summary);
        runs.push_back(std::move(run));
    }

    if (!sweepName.empty()) {
        // The overlays: every swept value as one curve in the same plot.
        const std::string title =
            baseTitle + ", " + sweepName + " swept  |  " + rateText(options.rate);
        if (wanted("response")) {
            plotResponse(file("response", "", ".png"), title, curvesOf(runs, &Run::response));
        }
        if (wanted("harmonics")) {
            plotHarmonics(file("harmonics", "", ".png"), title, options.rate,
                          curvesOf(runs, &Run::harmonics));
        }
        if (wanted("levels")) {
            plotLevels(file("levels", "", ".png"), title, options.rate,
                       curvesOf(runs, &Run::levels));
        }
        if (wanted("aliasing")) {
            plotAliasing(file("aliasing", "", ".png"), title, curvesOf(runs, &Run::aliasing));
        }
    }
    log << "wrote the results to " << options.outDir
        << (plotsAvailable() ? "" : " (tables and summary; this build draws no plots)") << "\n";
}

} // namespace gravelix::analysis

#include "commands.h"
#include "settingsoptions.h"
#include "tools/analysis/analyzer.h"

#include <iostream>
#include <memory>

namespace gravelix::host {

void addAnalyzeCommand(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "analyze", "Measure what a plug-in does to sound: frequency response, harmonics, "
                   "levels, aliasing and latency, as CSV tables, PNG plots and a JSON summary");
    auto options = std::make_shared<analysis::AnalyzeOptions>();
    cmd->add_option("PLUGIN", options->plugin,
                    "Plug-in (.so, .dll, .clap, .vst3, LV2 bundle or URI)")
        ->required();
    addPluginIdOption(*cmd, options->pluginId);
    cmd->add_option("--out", options->outDir, "Folder for the results (made if missing)")
        ->required();
    addSettingsOptions(*cmd, options->settings);
    cmd->add_option("--rate", options->rate, "Sample rate in Hz")->default_val(48000);
    cmd->add_option("--sweep", options->sweep,
                    "NAME=V1,V2,...: repeat every analysis for each value of one parameter "
                    "(0 to 1) and overlay them in the plots");
    cmd->add_option("--only", options->only,
                    "Comma list of response,harmonics,levels,aliasing,latency (default all)");
    cmd->add_option("--levels", options->levels,
                    "DB,...: the levels in dBFS of the aliasing tones (default -6)");
    cmd->add_option("--timeout", options->timeoutSeconds,
                    "Seconds one analysis may take before the plug-in counts as hung")
        ->default_val(120.0);
    setExample(*cmd, "gravelix-host analyze /usr/lib/vst/gravelix.so --out analysis "
                     "--sweep distortion=0,0.5,1");
    cmd->callback([options, &status] {
        analysis::analyzePlugin(*options, std::cout);
        status = 0;
    });
}

} // namespace gravelix::host

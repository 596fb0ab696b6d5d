#include "commands.h"
#include "settingsoptions.h"
#include "tools/hosting/pluginbench.h"
#include "tools/hosting/pluginhost.h"
#include "transportoptions.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace gravelix::host {

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

void printResult(const std::string& path, const BenchOptions& o, const BenchResult& r) {
    std::printf("plug-in            %s (%s), %s\n", r.effectName.c_str(), r.vendor.c_str(),
                path.c_str());
    std::printf("audio              white noise, %d in / %d out, %d-frame blocks, %.0f Hz, "
                "%d passes of %g s\n",
                r.inputs, r.outputs, o.blockFrames, static_cast<double>(o.sampleRate), o.passes,
                o.seconds);
    std::printf("passes ns/frame   ");
    for (double ns : r.passNsPerFrame) {
        std::printf(" %.2f", ns);
    }
    std::printf("\n");
    std::printf("best ns/frame      %.2f (thread CPU time of the processing thread)\n",
                r.bestNsPerFrame);
    std::printf("real-time factor   %.0fx at %.1f kHz\n", r.realTimeFactor,
                static_cast<double>(o.sampleRate) / 1000.0);
    // An LV2 plug-in's data is read where a library is opened (lilv opens the library with
    // the instance); a CLAP instance is made by its factory and initialised, a VST3 one by its
    // factory with its controller, a VST 2.4 one by its entry point.
    const bool lv2 = PluginHost::isLv2Path(path);
    std::printf("library load       %.3f ms (%s)\n", 1e3 * r.libraryWallSeconds,
                lv2 ? "lilv reading the data" : "dlopen");
    const bool clap = PluginHost::isClapPath(path), vst3 = PluginHost::isVst3Path(path);
    std::printf("first instance     %.4f ms (thread CPU %.4f ms), %s\n", 1e3 * r.first.wallSeconds,
                1e3 * r.first.cpuSeconds,
                lv2    ? "ports, presets and instantiate, bridged to the record"
                : clap ? "create and init, bridged to the record"
                : vst3 ? "component and controller, bridged to the record"
                       : "VSTPluginMain to the record");
    std::vector<double> wall, cpu;
    for (const InstanceCost& c : r.later) {
        wall.push_back(c.wallSeconds);
        cpu.push_back(c.cpuSeconds);
    }
    std::printf("later instances    median %.4f ms, best %.4f ms (thread CPU median %.4f ms), "
                "%zu instances\n",
                1e3 * median(wall), 1e3 * *std::min_element(wall.begin(), wall.end()),
                1e3 * median(cpu), r.later.size());
}

} // namespace

void addBenchCommand(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "bench", "Measure a plug-in's audio cost per frame and its instance-creation time");
    setExample(*cmd, "gravelix-host bench /usr/lib/vst/gravelix.so --seconds 1 --passes 3");
    struct Args {
        std::string plugin;
        BenchOptions options;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("PLUGIN", args->plugin, "Plug-in (.so, .clap, .vst3, LV2 bundle or URI)")
        ->required();
    addPluginIdOption(*cmd, args->options.pluginId);
    addSettingsOptions(*cmd, args->options.settings);
    addTransportOptions(*cmd, args->options.transport);
    cmd->add_option("--block", args->options.blockFrames, "Frames per process call")
        ->default_val(512);
    cmd->add_option("--seconds", args->options.seconds, "Audio per pass, in seconds")
        ->default_val(2.0);
    cmd->add_option("--passes", args->options.passes, "Passes; the best one counts")
        ->default_val(5);
    cmd->add_option("--instances", args->options.instances,
                    "Later instances created while the first is open")
        ->default_val(8);
    cmd->callback([args, &status] {
        checkBenchOptions(args->options);
        const BenchResult r = benchPlugin(args->plugin, args->options);
        printResult(args->plugin, args->options, r);
        status = 0;
    });
}

} // namespace gravelix::host

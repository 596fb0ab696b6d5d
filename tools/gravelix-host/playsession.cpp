#include "playsession.h"
#include "commands.h"

#include "settingsoptions.h"
#include "transportoptions.h"

#include <algorithm>
#include <cstdio>

namespace gravelix::host {

namespace {

constexpr int kStatusMs = 250;

// One line on a terminal, rewritten in place; nothing at all otherwise.
class StatusLine {
public:
    StatusLine(const PluginHost& plugin, const PlayReport& report)
        : plugin_(plugin), report_(report) {}
    ~StatusLine() {
        if (drawn_) {
            std::fputc('\n', stdout);
        }
    }
    void update(const PlayLoad& load) {
        if (!report_.terminal) {
            return;
        }
        std::string program;
        if (plugin_.numPrograms() > 0) {
            const VstInt32 current = plugin_.currentProgram();
            program = " | program " + std::to_string(current) + " " + plugin_.programName(current);
        }
        char server[48] = "";
        if (report_.serverLoad) {
            std::snprintf(server, sizeof server, ", server %5.1f%%", load.server * 100);
        }
        std::printf("\rDSP %5.1f%% (peak %5.1f%%%s) | %s %lld%s\033[K", load.average * 100,
                    load.peak * 100, server, report_.xrunWord, load.xruns, program.c_str());
        std::fflush(stdout);
        drawn_ = true;
    }

private:
    const PluginHost& plugin_;
    const PlayReport& report_;
    bool drawn_ = false;
};

} // namespace

void addPlayArgs(CLI::App& cmd, PlayArgs& args, const std::string& pluginHelp,
                 bool pluginRequired) {
    cmd.add_option("PLUGIN", args.plugin, pluginHelp)->required(pluginRequired);
    addPluginIdOption(cmd, args.pluginId);
    addSettingsOptions(
        cmd, args.settings,
        "NAME=VALUE: set a parameter (0 to 1); repeatable, applied after the program");
    addTransportOptions(cmd, args.transport);
    cmd.add_flag("--no-editor", args.noEditor, "Do not open the plug-in's editor");
}

void openPlayEditor(const PluginHost& plugin, const PlayArgs& args,
                    std::optional<EditorSession>& editor) {
    if (args.noEditor) {
        return;
    }
    if (!(plugin.effect()->flags & effFlagsHasEditor)) {
        std::printf("The plug-in has no editor.\n");
        return;
    }
    try {
        editor.emplace(plugin);
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(std::string(e.what()) + " (--no-editor plays without the editor)");
    }
}

void PlayTotals::add(const PlayLoad& load) {
    busySeconds += load.average * (load.seconds - seconds);
    seconds = load.seconds;
    peak = std::max(peak, load.peak);
    xruns = load.xruns;
}

PlayTotals runPlaySession(const PluginHost& plugin, std::optional<EditorSession>& editor,
                          const std::function<PlayLoad()>& takeLoad,
                          const std::function<bool()>& done, const std::function<void(int)>& pause,
                          const PlayReport& report) {
    PlayTotals totals;
    StatusLine line(plugin, report);
    while (!done()) {
        if (editor) {
            if (!editor->run(kStatusMs)) {
                break;
            }
        } else {
            pause(kStatusMs);
        }
        const PlayLoad load = takeLoad();
        totals.add(load);
        line.update(load);
    }
    // The last moments count too.
    totals.add(takeLoad());
    return totals;
}

void printPlaySummary(const PlayTotals& totals, const PlayReport& report) {
    std::printf("Played %.1f s; plug-in DSP load %.2f%% on average, %.2f%% at peak; %lld %s\n",
                totals.seconds, totals.average() * 100, totals.peak * 100, totals.xruns,
                report.xrunWord);
}

} // namespace gravelix::host

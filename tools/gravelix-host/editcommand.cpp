#include "commands.h"
#include "scaleoption.h"
#include "tools/hosting/editorsession.h"
#include "tools/hosting/interrupts.h"
#include "tools/hosting/pluginhost.h"

#include <cstdio>

namespace gravelix::host {

namespace {

// Prints gestures and automation as they arrive, on whichever thread sends them.
void printGestures(const PluginHost& plugin) {
    std::vector<std::string> names;
    for (VstInt32 i = 0; i < plugin.numParams(); ++i) {
        names.push_back(plugin.parameterName(i));
    }
    plugin.state().setListener([names](const HostCall& call) {
        const bool known = call.index >= 0 && call.index < static_cast<VstInt32>(names.size());
        const char* name = known ? names[call.index].c_str() : "?";
        switch (call.opcode) {
        case audioMasterAutomate:
            std::printf("automate   %2d %-16s %.6f\n", call.index, name,
                        static_cast<double>(call.opt));
            break;
        case audioMasterBeginEdit:
        case audioMasterEndEdit:
            std::printf("%-10s %2d %s\n", hostOpcodeName(call.opcode), call.index, name);
            break;
        default:
            return;
        }
        std::fflush(stdout);
    });
}

} // namespace

void addEditCommand(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand("edit", "Open a plug-in's editor in a window of its own");
    setExample(*cmd, "gravelix-host edit /usr/lib/vst/gravelix.so --verbose");
    struct Args {
        std::string plugin, pluginId;
        bool verbose = false;
        double scale = 0.0;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("PLUGIN", args->plugin, "Plug-in (.so, .dll, .clap, .vst3, LV2 bundle or URI)")
        ->required();
    cmd->add_flag("-v,--verbose", args->verbose, "Print automation and edit gestures");
    addScaleOption(*cmd, args->scale);
    addPluginIdOption(*cmd, args->pluginId);
    cmd->callback([args, &status] {
        PluginHost plugin(args->plugin, args->pluginId);
        if (args->verbose) {
            printGestures(plugin);
        }
        stopSessionOnInterrupt();
        {
            EditorSession session(plugin, args->scale);
            while (session.run(1000)) {
            }
        }
        plugin.state().setListener(nullptr);
        status = 0;
    });
}

} // namespace gravelix::host

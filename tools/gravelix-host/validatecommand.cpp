#include "commands.h"
#include "tools/validator/validator.h"

#include <iostream>

namespace gravelix::host {

void addValidateCommand(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "validate", "Check a plug-in against the interface's rules and real-time safety");
    setExample(*cmd, "gravelix-host validate /usr/lib/vst/gravelix.so --strictness 7");
    struct Args {
        std::string plugin;
        validator::ValidationOptions options;
        bool list = false, noEditor = false, inProcess = false;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("PLUGIN", args->plugin, "Plug-in (.so, .dll, .clap, .vst3, LV2 bundle or URI)");
    addPluginIdOption(*cmd, args->options.pluginId);
    cmd->add_option("--strictness", args->options.strictness,
                    "1 to 10: higher runs more and longer checks")
        ->default_val(5)
        ->check(CLI::Range(1, 10));
    cmd->add_option("--seed", args->options.seed, "Seed of every random choice")->default_val(1);
    cmd->add_option("--only", args->options.only, "Run only checks whose name contains this");
    cmd->add_flag("--no-editor", args->noEditor, "Skip the editor checks");
    cmd->add_flag("--in-process", args->inProcess,
                  "Run the checks in this process (faster; a crash ends the run)");
    cmd->add_flag("--list", args->list, "List the checks and exit");
    cmd->callback([args, &status] {
        if (args->list) {
            for (const auto& name : validator::checkNames()) {
                std::cout << name << '\n';
            }
            status = 0;
            return;
        }
        if (args->plugin.empty()) {
            throw std::runtime_error("validate needs a PLUGIN (or --list)");
        }
        args->options.editor = !args->noEditor;
        args->options.isolate = !args->inProcess;
        status = validator::runValidation(args->plugin, args->options, std::cout);
    });
}

} // namespace gravelix::host

// The subcommands of gravelix-host. Each registers itself on the app and stores its exit
// status in the shared result when it runs; failures throw std::runtime_error.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace gravelix::host {

// Ends the command's --help with one typical use; the manual page and its test rely on the
// "Example:" heading.
inline void setExample(CLI::App& cmd, const std::string& commandLine) {
    cmd.footer("Example:\n  " + commandLine);
}

// --plugin ID: which plug-in of a CLAP file, VST3 module or LV2 bundle (several may share one);
// its first by default.
inline void addPluginIdOption(CLI::App& cmd, std::string& pluginId) {
    cmd.add_option("--plugin", pluginId,
                   "CLAP plug-in id, VST3 class id or name, or LV2 plug-in URI, for a .clap file, "
                   ".vst3 module or LV2 bundle holding several (default: its first)");
}

void addInfoCommand(CLI::App& app, int& status);
void addRenderCommand(CLI::App& app, int& status);
void addRiffCommand(CLI::App& app, int& status);
void addEditCommand(CLI::App& app, int& status);
void addSnapshotCommand(CLI::App& app, int& status);
void addBenchCommand(CLI::App& app, int& status);
// Present only when the validator library is built in (see CMakeLists.txt).
void addValidateCommand(CLI::App& app, int& status);
// Present only when the analysis library is built in (see CMakeLists.txt).
void addAnalyzeCommand(CLI::App& app, int& status);
// Present on Windows, and on Linux when libjack is found (see CMakeLists.txt).
void addPlayCommand(CLI::App& app, int& status);

} // namespace gravelix::host

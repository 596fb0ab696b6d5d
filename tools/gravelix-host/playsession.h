// What `play` shares between its audio back-ends: the options they all take, the editor, the
// status line while playing and the closing report.
#pragma once

#include "tools/hosting/editorsession.h"
#include "tools/hosting/playengine.h"
#include "tools/hosting/pluginhost.h"
#include "tools/hosting/settings.h"
#include "tools/hosting/transport.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <string>

namespace gravelix::host {

struct PlayArgs {
    std::string plugin;
    std::string pluginId;
    Settings settings;
    TransportSettings transport;
    bool noEditor = false;
};

// PLUGIN, --plugin, --program, --set, --tempo, --time-signature and --no-editor.
void addPlayArgs(CLI::App& cmd, PlayArgs& args, const std::string& pluginHelp,
                 bool pluginRequired = true);

// Opens the editor unless --no-editor or the plug-in has none (then says so). Throws
// std::runtime_error, pointing at --no-editor, when it cannot open.
void openPlayEditor(const PluginHost& plugin, const PlayArgs& args,
                    std::optional<EditorSession>& editor);

// How a back-end shows its numbers.
struct PlayReport {
    const char* xrunWord = "xruns"; // what a late or lost period is called
    bool serverLoad = false;        // whether the status line shows the server's own load
    bool terminal = false;          // whether stdout is a terminal (the status line's place)
};

struct PlayTotals {
    double busySeconds = 0.0, seconds = 0.0, peak = 0.0;
    long long xruns = 0;
    void add(const PlayLoad& load);
    double average() const { return seconds > 0 ? busySeconds / seconds : 0.0; }
};

// Plays until `done()` answers true or the editor is closed, showing the load about four times
// a second; `pause(ms)` waits when there is no editor (and may return early on a stop request).
PlayTotals runPlaySession(const PluginHost& plugin, std::optional<EditorSession>& editor,
                          const std::function<PlayLoad()>& takeLoad,
                          const std::function<bool()>& done, const std::function<void(int)>& pause,
                          const PlayReport& report);

// "Played 12.3 s; plug-in DSP load ...; N xruns".
void printPlaySummary(const PlayTotals& totals, const PlayReport& report);

} // namespace gravelix::host

#include "commands.h"
#include "playsession.h"
#include "tools/hosting/pluginhost.h"
#include "tools/hosting/wasapiplayer_win32.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <io.h>
#include <optional>

namespace gravelix::host {

namespace {

std::atomic<bool> stopRequested{false};

// Runs on a thread of its own. Closing the console ends the process once this returns:
// the main thread is given a moment to stop the devices and close the editor first.
BOOL WINAPI onConsoleEvent(DWORD event) {
    stopRequested = true;
    EditorSession::stop();
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
        Sleep(3000);
    }
    return TRUE;
}

} // namespace

void addPlayCommand(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "play", "Play live audio through a plug-in with Windows' audio devices (WASAPI): the "
                "first input channel to both inputs, two outputs");
    setExample(*cmd, "gravelix-host play GRAVELIX.dll --program TS --set Distortion=0.7");
    struct Args {
        PlayArgs play;
        WasapiOptions devices;
        bool list = false;
    };
    auto args = std::make_shared<Args>();
    addPlayArgs(*cmd, args->play, "Plug-in library (.dll)", false);
    cmd->add_option("--output", args->devices.output,
                    "Output device: a part of its name (any case) or its id (default: Windows' "
                    "default device)");
    cmd->add_option("--input", args->devices.input,
                    "Input device: a part of its name (any case) or its id (default: Windows' "
                    "default device)");
    cmd->add_flag("--exclusive", args->devices.exclusive,
                  "Take the devices to this program alone, for the lowest latency");
    cmd->add_option("--buffer", args->devices.bufferMs,
                    "Buffer length in ms (1 to 500; the device may round it up to its minimum)")
        ->default_val(10);
    cmd->add_flag("--list-devices", args->list,
                  "List the input and output devices with their ids, formats and periods");
    cmd->callback([args, &status] {
        ComScope com;
        if (args->list) {
            std::printf("%s", describeEndpoints().c_str());
            status = 0;
            return;
        }
        if (args->play.plugin.empty()) {
            throw CLI::RequiredError("PLUGIN");
        }
        PluginHost plugin(args->play.plugin, args->play.pluginId);
        plugin.state().setTransport(args->play.transport);
        WasapiPlayer player(plugin, args->devices);
        applySettings(plugin, args->play.settings);
        std::optional<EditorSession> editor;
        openPlayEditor(plugin, args->play, editor);
        stopRequested = false;
        SetConsoleCtrlHandler(onConsoleEvent, TRUE);
        player.start();
        std::printf("Playing through %s at %d Hz, up to %d frames per period\n%s",
                    plugin.effectName().c_str(), player.sampleRate(), player.blockSize(),
                    player.describe().c_str());
        std::printf("%s stops.\n", editor ? "Ctrl+C or closing the editor" : "Ctrl+C");
        std::fflush(stdout);

        const PlayReport report{
            .xrunWord = "glitches", .serverLoad = false, .terminal = _isatty(_fileno(stdout)) != 0};
        const PlayTotals totals = runPlaySession(
            plugin, editor, [&] { return player.takeLoad(); },
            [&] { return stopRequested.load() || player.deviceGone(); },
            [](int ms) { Sleep(static_cast<DWORD>(ms)); }, report);
        const bool gone = player.deviceGone();
        const std::string reason = player.goneReason();
        player.stop();
        editor.reset();
        SetConsoleCtrlHandler(onConsoleEvent, FALSE);
        printPlaySummary(totals, report);
        if (gone) {
            std::fflush(stdout);
            std::fprintf(stderr, "gravelix-host: %s\n", reason.c_str());
            status = 1;
            return;
        }
        status = 0;
    });
}

} // namespace gravelix::host

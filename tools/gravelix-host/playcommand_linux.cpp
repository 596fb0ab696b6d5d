#include "commands.h"
#include "playsession.h"
#include "tools/hosting/interrupts.h"
#include "tools/hosting/jackplayer.h"
#include "tools/hosting/pluginhost.h"

#include <csignal>
#include <cstdio>
#include <optional>
#include <pthread.h>
#include <unistd.h>

namespace gravelix::host {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) {
    stopRequested = 1;
    EditorSession::stop();
}

// JACK's threads inherit the mask in force when they start: with the stop signals blocked
// there, only the main thread is interrupted, and its wait for events wakes up.
void setStopSignalsBlocked(bool blocked) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

// A closed terminal ends the session as cleanly as Ctrl-C.
void catchStopSignals() {
    catchSignals(onSignal, {SIGINT, SIGTERM, SIGHUP});
}

} // namespace

void addPlayCommand(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "play", "Play live audio through a plug-in as a JACK client (two inputs, two outputs)");
    setExample(*cmd,
               "gravelix-host play /usr/lib/vst/gravelix.so --program TS --set Distortion=0.7");
    struct Args {
        PlayArgs play;
        std::string server, connect = "auto";
    };
    auto args = std::make_shared<Args>();
    addPlayArgs(*cmd, args->play, "Plug-in (.so, .clap, .vst3, LV2 bundle or URI)");
    cmd->add_option("--server", args->server, "JACK server name (default: the default server)");
    cmd->add_option("--connect", args->connect,
                    "auto: first physical capture port to both inputs, outputs to the first two "
                    "playback ports; none: leave the wiring to you")
        ->check(CLI::IsMember({"auto", "none"}))
        ->default_val("auto");
    cmd->callback([args, &status] {
        PluginHost plugin(args->play.plugin, args->play.pluginId);
        plugin.state().setTransport(args->play.transport);
        setStopSignalsBlocked(true);
        catchStopSignals();
        JackPlayer player(plugin, args->server);
        applySettings(plugin, args->play.settings);
        std::optional<EditorSession> editor;
        openPlayEditor(plugin, args->play, editor);
        player.start();
        setStopSignalsBlocked(false);
        std::printf("Playing through %s as JACK client '%s' at %d Hz, %d frames per period\n",
                    plugin.effectName().c_str(), player.clientName().c_str(), player.sampleRate(),
                    player.blockSize());
        if (args->connect == "auto") {
            std::printf("Connected %s\n", player.connectPhysicalPorts().c_str());
        }
        std::printf("%s stops.\n", editor ? "Ctrl-C or closing the editor" : "Ctrl-C");
        std::fflush(stdout);

        const PlayReport report{
            .xrunWord = "xruns", .serverLoad = true, .terminal = isatty(1) != 0};
        const PlayTotals totals = runPlaySession(
            plugin, editor, [&] { return player.takeLoad(); },
            [&] { return stopRequested || player.serverGone(); },
            // Signals cut the sleep short.
            [](int ms) { usleep(static_cast<useconds_t>(ms) * 1000); }, report);
        const bool serverGone = player.serverGone();
        const std::string reason = player.shutdownReason();
        player.stop();
        editor.reset();
        printPlaySummary(totals, report);
        if (serverGone) {
            std::fflush(stdout);
            std::fprintf(stderr, "gravelix-host: the JACK server stopped%s%s%s\n",
                         reason.empty() ? "" : " (", reason.c_str(), reason.empty() ? "" : ")");
            status = 1;
            return;
        }
        status = 0;
    });
}

} // namespace gravelix::host

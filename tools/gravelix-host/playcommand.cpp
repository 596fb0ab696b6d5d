#include "commands.h"
#include "settingsoptions.h"
#include "tools/hosting/editorsession.h"
#include "tools/hosting/interrupts.h"
#include "tools/hosting/jackplayer.h"
#include "tools/hosting/pluginhost.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <pthread.h>
#include <unistd.h>

namespace gravelix::host {

namespace {

constexpr int kStatusMs = 250;

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

// One line on a terminal, rewritten in place; nothing at all when stdout is not a terminal.
class StatusLine {
public:
    explicit StatusLine(const PluginHost& plugin) : plugin_(plugin), shown_(isatty(1)) {}
    ~StatusLine() {
        if (drawn_) {
            std::fputc('\n', stdout);
        }
    }
    void update(const JackPlayer::Load& load) {
        if (!shown_) {
            return;
        }
        std::string program;
        if (plugin_.numPrograms() > 0) {
            const VstInt32 current = plugin_.currentProgram();
            program = " | program " + std::to_string(current) + " " + plugin_.programName(current);
        }
        std::printf("\rDSP %5.1f%% (peak %5.1f%%, server %5.1f%%) | xruns %lld%s\033[K",
                    load.average * 100, load.peak * 100, load.server * 100, load.xruns,
                    program.c_str());
        std::fflush(stdout);
        drawn_ = true;
    }

private:
    const PluginHost& plugin_;
    bool shown_;
    bool drawn_ = false;
};

// Keeps the run's worst period and overall average for the closing line.
struct Totals {
    double busySeconds = 0.0, seconds = 0.0, peak = 0.0;
    long long xruns = 0;
    void add(const JackPlayer::Load& load) {
        busySeconds += load.average * (load.seconds - seconds);
        seconds = load.seconds;
        peak = std::max(peak, load.peak);
        xruns = load.xruns;
    }
};

} // namespace

void addPlayCommand(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "play", "Play live audio through a plug-in as a JACK client (two inputs, two outputs)");
    setExample(*cmd,
               "gravelix-host play /usr/lib/vst/gravelix.so --program TS --set Distortion=0.7");
    struct Args {
        std::string plugin, server, connect = "auto";
        Settings settings;
        bool noEditor = false;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("PLUGIN", args->plugin, "Plug-in library (.so)")->required();
    addSettingsOptions(
        *cmd, args->settings,
        "NAME=VALUE: set a parameter (0 to 1); repeatable, applied after the program");
    cmd->add_option("--server", args->server, "JACK server name (default: the default server)");
    cmd->add_option("--connect", args->connect,
                    "auto: first physical capture port to both inputs, outputs to the first two "
                    "playback ports; none: leave the wiring to you")
        ->check(CLI::IsMember({"auto", "none"}))
        ->default_val("auto");
    cmd->add_flag("--no-editor", args->noEditor, "Do not open the plug-in's editor");
    cmd->callback([args, &status] {
        PluginHost plugin(args->plugin);
        setStopSignalsBlocked(true);
        catchStopSignals();
        JackPlayer player(plugin, args->server);
        applySettings(plugin, args->settings);
        std::optional<EditorSession> editor;
        if (!args->noEditor) {
            if (plugin.effect()->flags & effFlagsHasEditor) {
                try {
                    editor.emplace(plugin);
                } catch (const std::runtime_error& e) {
                    throw std::runtime_error(std::string(e.what()) +
                                             " (--no-editor plays without the editor)");
                }
            } else {
                std::printf("The plug-in has no editor.\n");
            }
        }
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

        Totals totals;
        {
            StatusLine line(plugin);
            while (!stopRequested && !player.serverGone()) {
                if (editor) {
                    if (!editor->run(kStatusMs)) {
                        break;
                    }
                } else {
                    // Signals cut the sleep short.
                    usleep(kStatusMs * 1000);
                }
                const auto load = player.takeLoad();
                totals.add(load);
                line.update(load);
            }
        }
        const bool serverGone = player.serverGone();
        const std::string reason = player.shutdownReason();
        player.stop();
        editor.reset();
        const double average = totals.seconds > 0 ? totals.busySeconds / totals.seconds : 0.0;
        std::printf("Played %.1f s; plug-in DSP load %.2f%% on average, %.2f%% at peak; %lld "
                    "xruns\n",
                    totals.seconds, average * 100, totals.peak * 100, totals.xruns);
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

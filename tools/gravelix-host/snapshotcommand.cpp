#include "commands.h"
#include "scaleoption.h"
#include "settingsoptions.h"
#include "tools/hosting/editorsession.h"
#include "tools/hosting/pluginhost.h"

#include <cstdio>
#include <stdexcept>

namespace gravelix::host {

namespace {

// Where the editor's panel switch sits, in editor coordinates.
constexpr int kBackPanelClickX = 234;
constexpr int kBackPanelClickY = 12;
constexpr int kEditorWidth = 270;

// Idles until the picture has stopped changing: at least minMs, then until three
// successive captures agree, at most maxMs in all. False when it never settled.
bool settle(EditorSession& session, Image& image, int minMs, int maxMs) {
    constexpr int stepMs = 100;
    session.run(minMs);
    image = session.window().capture();
    int same = 0;
    for (int waited = minMs; waited < maxMs; waited += stepMs) {
        session.run(stepMs);
        auto next = session.window().capture();
        same = next == image ? same + 1 : 0;
        image = std::move(next);
        if (same >= 2) {
            return true;
        }
    }
    return false;
}

} // namespace

void addSnapshotCommand(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "snapshot",
        "Open a plug-in's editor and save it as PNG (on Linux any X display, e.g. xvfb-run)");
    setExample(*cmd,
               "gravelix-host snapshot /usr/lib/vst/gravelix.so back.png --back --program TS");
    struct Args {
        std::string plugin, pluginId, out;
        bool back = false;
        double scale = 0.0;
        Settings settings;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("PLUGIN", args->plugin, "Plug-in (.so, .dll, .clap, .vst3, LV2 bundle or URI)")
        ->required();
    cmd->add_option("OUT", args->out, "Output PNG file")->required();
    cmd->add_flag("--back", args->back, "Click the panel switch first to show the back panel");
    addScaleOption(*cmd, args->scale);
    addPluginIdOption(*cmd, args->pluginId);
    addSettingsOptions(*cmd, args->settings, "NAME=VALUE: set a parameter (0 to 1)");
    cmd->callback([args, &status] {
        PluginHost plugin(args->plugin, args->pluginId);
        applySettings(plugin, args->settings);
        EditorSession session(plugin, args->scale);
        Image image;
        if (!settle(session, image, 300, 5000)) {
            std::fprintf(stderr, "gravelix-host: warning: the editor kept changing; saving the "
                                 "latest picture\n");
        }
        if (args->back) {
            const auto front = image;
            // The switch scales with the editor: find it in proportion to the window.
            const double shown = session.window().width() / double(kEditorWidth);
            session.window().click(static_cast<int>(kBackPanelClickX * shown),
                                   static_cast<int>(kBackPanelClickY * shown));
            settle(session, image, 300, 5000);
            if (image == front) {
                throw std::runtime_error("clicking the panel switch changed nothing");
            }
        }
        writePng(args->out, image);
        std::printf("Wrote %dx%d snapshot to %s\n", image.width, image.height, args->out.c_str());
        status = 0;
    });
}

} // namespace gravelix::host

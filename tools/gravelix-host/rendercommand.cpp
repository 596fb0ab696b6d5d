#include "commands.h"
#include "settingsoptions.h"
#include "tools/hosting/pluginhost.h"
#include "tools/hosting/renderer.h"
#include "transportoptions.h"

#include <cstdio>

namespace gravelix::host {

void addRenderCommand(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "render", "Render an audio file through a plug-in (mono or stereo in, stereo out)");
    setExample(*cmd, "gravelix-host render /usr/lib/vst/gravelix.so riff.wav out.wav --program "
                     "Hi-Gain --set Distortion=0.8");
    struct Args {
        std::string plugin, pluginId, in, out;
        RenderOptions options;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("PLUGIN", args->plugin, "Plug-in (.so, .dll, .clap, .vst3, LV2 bundle or URI)")
        ->required();
    cmd->add_option("IN", args->in, "Input audio file (WAV, FLAC, AIFF, ...)")->required();
    cmd->add_option("OUT", args->out,
                    "Output file; its extension picks the file type (WAV: 32-bit float)")
        ->required();
    addPluginIdOption(*cmd, args->pluginId);
    addSettingsOptions(*cmd, args->options.settings);
    addTransportOptions(*cmd, args->options.transport);
    cmd->add_option("--block", args->options.blockFrames, "Frames per process call")
        ->default_val(512);
    cmd->add_option("--sample-format", args->options.sampleFormat,
                    "auto, float, 16 or 24 (auto: float for WAV, else the input's)")
        ->default_val("auto");
    cmd->callback([args, &status] {
        PluginHost plugin(args->plugin, args->pluginId);
        const RenderResult r = renderFile(plugin, args->in, args->out, args->options);
        std::printf("Rendered %lld frames at %d Hz (%s in) to %s\n", r.frames, r.sampleRate,
                    r.inputChannels == 1 ? "mono" : "stereo", args->out.c_str());
        status = 0;
    });
}

} // namespace gravelix::host

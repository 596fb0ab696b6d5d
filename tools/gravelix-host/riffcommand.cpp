#include "commands.h"
#include "tools/hosting/riff.h"
#include "tools/hosting/soundfile.h"

#include <cstdio>
#include <stdexcept>

namespace gravelix::host {

void addRiffCommand(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand(
        "demo-riff", "Write a plucked-string guitar riff (mono WAV) to render through a plug-in");
    cmd->alias("riff");
    setExample(*cmd, "gravelix-host demo-riff riff.wav --seconds 8");
    struct Args {
        std::string out;
        double seconds = 8.0;
        int rate = 44100;
    };
    auto args = std::make_shared<Args>();
    cmd->add_option("OUT", args->out, "Output WAV file")->required();
    cmd->add_option("--seconds", args->seconds, "Length in seconds")
        ->default_val(8.0)
        ->check(CLI::Range(0.1, 600.0));
    cmd->add_option("--rate", args->rate, "Sample rate in Hz")
        ->default_val(44100)
        ->check(CLI::Range(8000, 384000));
    cmd->callback([args, &status] {
        writeFloatWav(args->out, makeRiff(args->seconds, args->rate), 1, args->rate);
        std::printf("Wrote %.2f s at %d Hz to %s\n", args->seconds, args->rate, args->out.c_str());
        status = 0;
    });
}

} // namespace gravelix::host

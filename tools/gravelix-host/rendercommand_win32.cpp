// render and demo-riff read and write sound files through libsndfile, which this Windows build
// does not carry: the commands are left out, and --help says so.
#include "commands.h"

namespace gravelix::host {

namespace {
void noteLeftOut(CLI::App& app) {
    static bool noted = false;
    if (!noted) {
        app.footer("render and demo-riff are not available in the Windows build (no sound-file "
                   "library); use the Linux gravelix-host for them.");
        noted = true;
    }
}
} // namespace

void addRenderCommand(CLI::App& app, int& /*status*/) {
    noteLeftOut(app);
}

void addRiffCommand(CLI::App& app, int& /*status*/) {
    noteLeftOut(app);
}

} // namespace gravelix::host

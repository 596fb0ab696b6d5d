#include "commands.h"
#include "gravelixversion.h"
#include "unknowncommand.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    CLI::App app{
        "gravelix-host: loads a VST 2.4, CLAP, VST3 or LV2 plug-in and inspects, renders through, "
        "checks or shows it"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "gravelix-host " GRAVELIX_VERSION);
    // Paths may start with '/' (Unix, or Wine's view of it): never read them as options.
    app.allow_windows_style_options(false);
    int status = 0;
    gravelix::host::addInfoCommand(app, status);
    gravelix::host::addRenderCommand(app, status);
    gravelix::host::addRiffCommand(app, status);
#ifdef GRAVELIX_HOST_WITH_VALIDATOR
    gravelix::host::addValidateCommand(app, status);
#endif
    gravelix::host::addEditCommand(app, status);
    gravelix::host::addSnapshotCommand(app, status);
#ifdef GRAVELIX_HOST_WITH_PLAY
    gravelix::host::addPlayCommand(app, status);
#endif
#ifdef GRAVELIX_HOST_WITH_ANALYZE
    gravelix::host::addAnalyzeCommand(app, status);
#endif
#ifdef GRAVELIX_HOST_WITH_BENCH
    gravelix::host::addBenchCommand(app, status);
#endif
    try {
        gravelix::host::rejectUnknownCommand(app, argc, argv);
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gravelix-host: %s\n", e.what());
        return 1;
    }
    return status;
}

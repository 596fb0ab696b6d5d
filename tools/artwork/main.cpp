// gravelix-artwork OUTDIR [--preview DIR]
// Draws the editor's nine PNG images into OUTDIR; with --preview it also writes snapshots
// of both panels with controls in place into DIR.
#include "controls.h"
#include "fonts.h"
#include "panels.h"
#include "preview.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

int usage() {
    std::fprintf(stderr, "usage: gravelix-artwork OUTDIR [--preview DIR]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string outDir, previewDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--preview" && i + 1 < argc) {
            previewDir = argv[++i];
        } else if (!arg.empty() && arg[0] != '-' && outDir.empty()) {
            outDir = arg;
        } else {
            return usage();
        }
    }
    if (outDir.empty()) {
        return usage();
    }

    try {
        using namespace Artwork;
        const Fonts fonts;
        ImageSet im{drawFrontPanel(fonts),
                    drawFootswitch(),
                    drawSlideSwitch(),
                    drawKnobStrip(),
                    drawLed(),
                    drawTweakPlate(fonts),
                    drawFaderStrip(),
                    drawBackPanel(fonts),
                    drawSlideSwitch()};
        // File names match editor/resources/resources.list.
        const std::pair<const char*, const Surface*> files[] = {
            {"front_panel.png", &im.front},
            {"footswitch.png", &im.footswitch},
            {"stereo_switch.png", &im.stereoSwitch},
            {"knob.png", &im.knob},
            {"led.png", &im.led},
            {"tweak.png", &im.tweak},
            {"fader.png", &im.fader},
            {"back_panel.png", &im.back},
            {"pickup_switch.png", &im.pickupSwitch}};
        for (const auto& [name, surface] : files) {
            writePng(*surface, outDir + "/" + name);
        }
        if (!previewDir.empty()) {
            writePreviews(im, previewDir);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gravelix-artwork: %s\n", e.what());
        return 1;
    }
    return 0;
}

// gravelix-artwork OUTDIR [--preview DIR]
// Draws the editor's nine PNG images, and Gravelix HQ's two marked panels, into OUTDIR, each
// once at 1x (name.png) and once at 2x (name_2x.png) from the same drawing code; with --preview it
// also writes snapshots of both panels with controls in place into DIR (1x).
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
        // The 2x pass last, so the previews below are drawn from the 1x set.
        for (const int scale : {2, 1}) {
            setDrawingScale(scale);
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
                {"front_panel", &im.front},
                {"footswitch", &im.footswitch},
                {"stereo_switch", &im.stereoSwitch},
                {"knob", &im.knob},
                {"led", &im.led},
                {"tweak", &im.tweak},
                {"fader", &im.fader},
                {"back_panel", &im.back},
                {"pickup_switch", &im.pickupSwitch}};
            // Gravelix HQ's panels; it shares every other image.
            const Surface hqFront = drawFrontPanel(fonts, Edition::HQ);
            const Surface hqBack = drawBackPanel(fonts, Edition::HQ);
            const std::pair<const char*, const Surface*> hqFiles[] = {{"front_panel_hq", &hqFront},
                                                                      {"back_panel_hq", &hqBack}};
            const std::string suffix = scale == 1 ? ".png" : "_2x.png";
            for (const auto& [name, surface] : files) {
                writePng(*surface, outDir + "/" + name + suffix);
            }
            for (const auto& [name, surface] : hqFiles) {
                writePng(*surface, outDir + "/" + name + suffix);
            }
            if (scale == 1 && !previewDir.empty()) {
                writePreviews(im, previewDir);
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gravelix-artwork: %s\n", e.what());
        return 1;
    }
    return 0;
}

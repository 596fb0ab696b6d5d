// Offline rendering of an audio file through a loaded plug-in.
#pragma once

#include "pluginhost.h"
#include "settings.h"
#include "transport.h"

#include <string>

namespace gravelix::host {

struct RenderOptions {
    Settings settings;
    TransportSettings transport;
    int blockFrames = 512;
    std::string sampleFormat = "auto"; // see outputFormatFor
    bool progress = true;              // a bar on stderr, only on a terminal and for long work
};

struct RenderResult {
    long long frames = 0;
    int sampleRate = 0;
    int inputChannels = 0;
};

// Reads IN (mono goes to both inputs, stereo to one each), writes two channels to OUT. The
// plug-in is told it runs offline, with the transport playing from frame 0.
// Throws std::runtime_error with a one-line message; a half-written OUT is removed.
RenderResult renderFile(const PluginHost& plugin, const std::string& inPath,
                        const std::string& outPath, const RenderOptions& options);

} // namespace gravelix::host

#include "renderer.h"

#include "progressbar.h"
#include "soundfile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>

namespace gravelix::host {

namespace {

constexpr int kMaxBlockFrames = 1 << 16;
constexpr int kMaxChannels = 256;

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

} // namespace

RenderResult renderFile(const PluginHost& plugin, const std::string& inPath,
                        const std::string& outPath, const RenderOptions& options) {
    if (options.blockFrames < 1 || options.blockFrames > kMaxBlockFrames) {
        throw std::runtime_error("block size must be between 1 and " +
                                 std::to_string(kMaxBlockFrames) + " frames");
    }
    auto in = SoundFile::openRead(inPath);
    const SF_INFO info = in.info();
    if (info.channels > 2) {
        throw std::runtime_error("'" + inPath + "' has " + std::to_string(info.channels) +
                                 " channels; only mono and stereo files can be rendered");
    }
    const AEffect* effect = plugin.effect();
    if (effect->numOutputs < 1) {
        throw std::runtime_error("the plug-in has no audio outputs");
    }
    // Buffers are made for every channel the record claims; a corrupt count must not
    // turn into a giant allocation.
    if (effect->numInputs > kMaxChannels || effect->numOutputs > kMaxChannels) {
        throw std::runtime_error("the plug-in claims " + std::to_string(effect->numInputs) +
                                 " inputs and " + std::to_string(effect->numOutputs) +
                                 " outputs; at most " + std::to_string(kMaxChannels) +
                                 " of each are supported");
    }
    if (sameFile(inPath, outPath)) {
        throw std::runtime_error("the output '" + outPath + "' would overwrite the input");
    }
    const int format = outputFormatFor(outPath, info.format, options.sampleFormat);
    const int block = options.blockFrames;
    // The stream format first, as a host sets it up, then the user's choices; all of it is
    // checked before the output file exists.
    plugin.state().setTransport(options.transport);
    plugin.state().setProcessLevel(kVstProcessLevelOffline);
    plugin.state().locate(0);
    plugin.setSampleRate(static_cast<float>(info.samplerate));
    plugin.setBlockSize(block);
    applySettings(plugin, options.settings);

    auto out = SoundFile::openWrite(outPath, format, 2, info.samplerate);
    RenderResult result{0, info.samplerate, info.channels};
    try {
        const int numIn = std::max(2, effect->numInputs);
        const int numOut = std::max(2, effect->numOutputs);
        std::vector<float> inStore(static_cast<std::size_t>(numIn) * block, 0.0f);
        std::vector<float> outStore(static_cast<std::size_t>(numOut) * block, 0.0f);
        std::vector<float*> inputs(numIn), outputs(numOut);
        for (int c = 0; c < numIn; ++c) {
            inputs[c] = inStore.data() + static_cast<std::size_t>(c) * block;
        }
        for (int c = 0; c < numOut; ++c) {
            outputs[c] = outStore.data() + static_cast<std::size_t>(c) * block;
        }
        std::vector<float> interleavedIn(static_cast<std::size_t>(info.channels) * block);
        std::vector<float> interleavedOut(2 * static_cast<std::size_t>(block));
        // A plug-in with one output gets it written to both channels.
        const float* right = effect->numOutputs >= 2 ? outputs[1] : outputs[0];

        plugin.resume();
        ProgressBar progress(stderr, options.progress && isatty(STDERR_FILENO) == 1, "rendering",
                             info.frames);
        for (;;) {
            const sf_count_t got = in.read(interleavedIn.data(), block);
            if (got <= 0) {
                break;
            }
            for (sf_count_t i = 0; i < got; ++i) {
                const float left = interleavedIn[i * info.channels];
                inputs[0][i] = left;
                inputs[1][i] = info.channels == 2 ? interleavedIn[i * 2 + 1] : left;
            }
            std::fill(outStore.begin(), outStore.end(), 0.0f);
            plugin.process(inputs.data(), outputs.data(), static_cast<VstInt32>(got));
            for (sf_count_t i = 0; i < got; ++i) {
                interleavedOut[i * 2] = outputs[0][i];
                interleavedOut[i * 2 + 1] = right[i];
            }
            out.write(interleavedOut.data(), got);
            result.frames += got;
            progress.update(result.frames);
        }
        plugin.suspend();
        out.close();
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(outPath, ec);
        throw;
    }
    return result;
}

} // namespace gravelix::host

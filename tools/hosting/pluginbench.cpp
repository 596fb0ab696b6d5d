#include "pluginbench.h"

#include "pluginhost.h"
#include "threadclock.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace gravelix::host {

namespace {

constexpr std::size_t kNoiseFrames = 1 << 16;

// Full-scale white noise, a different sequence per channel, the same on every run.
std::vector<float> noise(std::size_t n, unsigned seed) {
    std::vector<float> v(n);
    for (auto& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
    }
    return v;
}

InstanceCost entryCost(const PluginHost& plugin) {
    return {plugin.loadTiming().entryWallSeconds, plugin.loadTiming().entryCpuSeconds};
}

// Channel buffers as a host hands them: at least two of each, each a block long.
class Buffers {
public:
    Buffers(int inputs, int outputs, int block)
        : in_(static_cast<std::size_t>(std::max(inputs, 2))),
          out_(static_cast<std::size_t>(std::max(outputs, 2)),
               std::vector<float>(static_cast<std::size_t>(block))) {
        for (std::size_t c = 0; c < in_.size(); ++c) {
            in_[c] =
                noise(kNoiseFrames + static_cast<std::size_t>(block), static_cast<unsigned>(c + 1));
        }
        for (auto& o : out_) {
            outPointers_.push_back(o.data());
        }
        inPointers_.resize(in_.size());
    }
    float** inputsAt(std::size_t offset) {
        for (std::size_t c = 0; c < in_.size(); ++c) {
            inPointers_[c] = in_[c].data() + offset;
        }
        return inPointers_.data();
    }
    float** outputs() { return outPointers_.data(); }

private:
    std::vector<std::vector<float>> in_, out_;
    std::vector<float*> inPointers_, outPointers_;
};

// Processes `frames` frames in blocks from the noise; answers the thread CPU time it took.
double runFrames(const PluginHost& plugin, Buffers& buffers, int block, long long frames,
                 std::size_t& offset) {
    const double start = threadCpuSeconds();
    for (long long done = 0; done < frames; done += block) {
        const auto n = static_cast<VstInt32>(std::min<long long>(block, frames - done));
        plugin.process(buffers.inputsAt(offset), buffers.outputs(), n);
        offset = (offset + static_cast<std::size_t>(n)) % kNoiseFrames;
    }
    return threadCpuSeconds() - start;
}

} // namespace

void checkBenchOptions(const BenchOptions& o) {
    if (o.blockFrames < 1 || o.blockFrames > 8192) {
        throw std::runtime_error("--block must be 1 to 8192 frames");
    }
    if (!(o.seconds > 0.0) || o.seconds > 600.0) {
        throw std::runtime_error("--seconds must be above 0 and at most 600");
    }
    if (o.passes < 1 || o.passes > 100) {
        throw std::runtime_error("--passes must be 1 to 100");
    }
    if (o.instances < 1 || o.instances > 100) {
        throw std::runtime_error("--instances must be 1 to 100");
    }
    checkTransport(o.transport);
}

BenchResult benchPlugin(const std::string& path, const BenchOptions& options) {
    checkBenchOptions(options);
    BenchResult result;

    PluginHost plugin(path, options.pluginId);
    result.libraryWallSeconds = plugin.loadTiming().libraryWallSeconds;
    result.first = entryCost(plugin);
    result.effectName = plugin.effectName();
    result.vendor = plugin.vendorString();
    result.inputs = plugin.effect()->numInputs;
    result.outputs = plugin.effect()->numOutputs;
    {
        // Host order: all of them exist at once, then they go, newest first.
        std::vector<std::unique_ptr<PluginHost>> others;
        for (int i = 0; i < options.instances; ++i) {
            others.push_back(std::make_unique<PluginHost>(path, options.pluginId));
            result.later.push_back(entryCost(*others.back()));
        }
        while (!others.empty()) {
            others.pop_back();
        }
    }

    // Measured as an offline render runs it; the transport plays from frame 0.
    plugin.state().setTransport(options.transport);
    plugin.state().setProcessLevel(kVstProcessLevelOffline);
    applySettings(plugin, options.settings);
    plugin.setSampleRate(options.sampleRate);
    plugin.setBlockSize(options.blockFrames);
    plugin.resume();

    Buffers buffers(result.inputs, result.outputs, options.blockFrames);
    const auto passFrames =
        std::max<long long>(1, std::llround(options.seconds * options.sampleRate));
    std::size_t offset = 0;
    // Warm-up: caches, lazily built tables, the first touch of the buffers.
    runFrames(plugin, buffers, options.blockFrames, std::min<long long>(passFrames, 44100), offset);
    for (int p = 0; p < options.passes; ++p) {
        const double seconds = runFrames(plugin, buffers, options.blockFrames, passFrames, offset);
        result.passNsPerFrame.push_back(1e9 * seconds / static_cast<double>(passFrames));
    }
    result.bestNsPerFrame =
        *std::min_element(result.passNsPerFrame.begin(), result.passNsPerFrame.end());
    // A pass faster than the clock's resolution shows as no time at all.
    result.realTimeFactor =
        result.bestNsPerFrame > 0.0 ? 1e9 / (result.bestNsPerFrame * options.sampleRate) : INFINITY;
    return result;
}

} // namespace gravelix::host

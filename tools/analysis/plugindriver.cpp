#include "plugindriver.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace gravelix::analysis {

PluginDriver::PluginDriver(const host::PluginHost& plugin, int rate)
    : plugin_(plugin), rate_(rate) {
    const AEffect* e = plugin.effect();
    if (e->numInputs < 1 || e->numOutputs < 1) {
        throw std::runtime_error("the plug-in has " + std::to_string(e->numInputs) +
                                 " inputs and " + std::to_string(e->numOutputs) +
                                 " outputs; analysing needs at least one of each");
    }
    // A negative or absurd delay would only shift garbage in: treat it as none.
    reportedDelay_ = e->initialDelay >= 0 && e->initialDelay <= 10 * rate ? e->initialDelay : 0;
    inputs_.assign(static_cast<std::size_t>(e->numInputs), std::vector<float>(kBlockFrames));
    outputs_.assign(static_cast<std::size_t>(e->numOutputs), std::vector<float>(kBlockFrames));
    for (auto& v : inputs_) {
        inputPointers_.push_back(v.data());
    }
    for (auto& v : outputs_) {
        outputPointers_.push_back(v.data());
    }
    // A freshly opened plug-in is suspended: no suspend before the first resume, which some
    // plug-ins treat as a fault.
    plugin_.setSampleRate(static_cast<float>(rate));
    plugin_.setBlockSize(kBlockFrames);
    // Measuring is offline work: plug-ins that pick their quality by process level pick the
    // path a render gets.
    plugin_.state().setProcessLevel(kVstProcessLevelOffline);
}

PluginDriver::~PluginDriver() {
    if (resumed_) {
        plugin_.suspend();
    }
}

std::vector<double> PluginDriver::run(const std::vector<double>& input) {
    if (resumed_) {
        plugin_.suspend();
    }
    plugin_.state().locate(0); // every test signal starts a stream of its own
    plugin_.resume();
    resumed_ = true;
    const std::size_t delay = static_cast<std::size_t>(reportedDelay_);
    const std::size_t total = input.size() + delay;
    std::vector<double> out(input.size());
    for (std::size_t start = 0; start < total; start += kBlockFrames) {
        const std::size_t frames = std::min<std::size_t>(kBlockFrames, total - start);
        for (std::size_t i = 0; i < frames; ++i) {
            const std::size_t n = start + i;
            const float x = n < input.size() ? static_cast<float>(input[n]) : 0.0f;
            for (auto& channel : inputs_) {
                channel[i] = x;
            }
        }
        for (auto& channel : outputs_) {
            std::fill(channel.begin(), channel.end(), 0.0f);
        }
        plugin_.process(inputPointers_.data(), outputPointers_.data(),
                        static_cast<VstInt32>(frames));
        for (const auto& channel : outputs_) {
            for (std::size_t i = 0; i < frames; ++i) {
                if (!std::isfinite(channel[i])) {
                    throw std::runtime_error(std::string("the plug-in answered ") +
                                             (std::isnan(channel[i]) ? "NaN" : "infinity") +
                                             " at frame " + std::to_string(start + i));
                }
            }
        }
        for (std::size_t i = 0; i < frames; ++i) {
            const std::size_t n = start + i;
            if (n >= delay) {
                out[n - delay] = outputs_[0][i];
            }
        }
    }
    return out;
}

} // namespace gravelix::analysis

// Drives a loaded plug-in as a host does for offline measurement: rate set before resume,
// 512-frame blocks, every input fed the same signal, the reported delay taken off the output.
#pragma once

#include "tools/hosting/pluginhost.h"

#include <vector>

namespace gravelix::analysis {

class PluginDriver {
public:
    static constexpr int kBlockFrames = 512;

    // Throws std::runtime_error for a plug-in without audio inputs or outputs.
    PluginDriver(const host::PluginHost& plugin, int rate);
    // Leaves the plug-in suspended.
    ~PluginDriver();
    PluginDriver(const PluginDriver&) = delete;
    PluginDriver& operator=(const PluginDriver&) = delete;

    int rate() const { return rate_; }
    // The delay the plug-in reports (initialDelay), read when the driver was made.
    int reportedDelay() const { return reportedDelay_; }

    // Suspends and resumes the plug-in (so each signal starts from a cleared state), plays
    // `input` through it and returns the first output, as long as the input and moved earlier by
    // the reported delay. Throws std::runtime_error when the plug-in answers NaN or infinity.
    std::vector<double> run(const std::vector<double>& input);

private:
    const host::PluginHost& plugin_;
    int rate_;
    int reportedDelay_ = 0;
    bool resumed_ = false;
    std::vector<std::vector<float>> inputs_, outputs_;
    std::vector<float*> inputPointers_, outputPointers_;
};

} // namespace gravelix::analysis

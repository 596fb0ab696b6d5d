// Measuring any plug-in as a host runs it: audio cost per frame and instance creation time.
#pragma once

#include "settings.h"
#include "transport.h"

#include <string>
#include <vector>

namespace gravelix::host {

struct BenchOptions {
    Settings settings;
    TransportSettings transport;
    int blockFrames = 512;
    double seconds = 2.0; // audio per pass, at the sample rate below
    int passes = 5;
    int instances = 8; // later instances, created while the first stays open
    float sampleRate = 44100.0f;
    std::string pluginId; // which plug-in of a CLAP file; empty for its first
};

struct InstanceCost {
    double wallSeconds = 0.0;
    double cpuSeconds = 0.0;
};

struct BenchResult {
    std::string effectName, vendor;
    int inputs = 0, outputs = 0;
    double libraryWallSeconds = 0.0;
    InstanceCost first;              // the first instance in this process
    std::vector<InstanceCost> later; // while the first is open, library already loaded
    std::vector<double> passNsPerFrame;
    double bestNsPerFrame = 0.0;
    double realTimeFactor = 0.0; // how many times faster than real time, at the sample rate
};

// Loads PATH, times VSTPluginMain for the first and later instances, then runs the first
// instance (settings applied, resumed) over stereo noise in passes and keeps the thread CPU
// time of each. Throws LoadError or std::runtime_error with a one-line message.
BenchResult benchPlugin(const std::string& path, const BenchOptions& options);

// Checks the numbers of BenchOptions; throws std::runtime_error naming the first bad one.
void checkBenchOptions(const BenchOptions& options);

} // namespace gravelix::host

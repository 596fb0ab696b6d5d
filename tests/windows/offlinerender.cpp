// What `play` must sound like: the plug-in run offline over a raw mono float input (both of its
// inputs hear it), written as raw interleaved stereo float. Usage:
// gravelix_offline_render PLUGIN IN.raw OUT.raw RATE BLOCK [--program N] [--set NAME=VALUE]...
#include "tools/hosting/pluginhost.h"
#include "tools/hosting/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 6) {
        std::fprintf(stderr,
                     "usage: %s PLUGIN IN.raw OUT.raw RATE BLOCK [--program N] "
                     "[--set NAME=VALUE]...\n",
                     argv[0]);
        return 2;
    }
    try {
        gravelix::host::PluginHost plugin(argv[1]);
        std::ifstream in(argv[2], std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<float> input(bytes.size() / sizeof(float));
        std::copy(bytes.begin(), bytes.begin() + input.size() * sizeof(float),
                  reinterpret_cast<char*>(input.data()));
        const int rate = std::atoi(argv[4]);
        const int block = std::atoi(argv[5]);
        gravelix::host::Settings settings;
        for (int i = 6; i + 1 < argc; i += 2) {
            if (std::string(argv[i]) == "--program") {
                settings.program = argv[i + 1];
            } else {
                settings.sets.push_back(argv[i + 1]);
            }
        }
        plugin.state().setProcessLevel(kVstProcessLevelOffline);
        plugin.setSampleRate(static_cast<float>(rate));
        plugin.setBlockSize(block);
        gravelix::host::applySettings(plugin, settings);
        plugin.resume();
        std::vector<float> left(block), right(block), outL(block), outR(block), stereo;
        for (std::size_t at = 0; at < input.size(); at += block) {
            const int n = static_cast<int>(std::min<std::size_t>(block, input.size() - at));
            std::copy_n(input.begin() + at, n, left.begin());
            std::copy_n(input.begin() + at, n, right.begin());
            float* ins[2] = {left.data(), right.data()};
            float* outs[2] = {outL.data(), outR.data()};
            plugin.process(ins, outs, n);
            for (int i = 0; i < n; ++i) {
                stereo.push_back(outL[i]);
                stereo.push_back(outR[i]);
            }
        }
        plugin.suspend();
        std::ofstream out(argv[3], std::ios::binary);
        out.write(reinterpret_cast<const char*>(stereo.data()),
                  static_cast<std::streamsize>(stereo.size() * sizeof(float)));
        return out ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

// Guards against the VST3 pedals sounding different from the VST 2.4 ones when a host drives
// them: each program, settings (stepped switches between steps among them), stereo and mono
// input through `gravelix-host render` must give the same float file, sample for sample.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using toolstest::runHost;

namespace {

struct Pair {
    const char* name;
    std::string vst2, vst3;
};

std::vector<Pair> pairs() {
    std::vector<Pair> p = {{"Gravelix", GRAVELIX_PLUGIN, GRAVELIX_VST3}};
#ifdef GRAVELIX_HQ_VST3
    p.push_back({"Gravelix HQ", GRAVELIX_HQ_PLUGIN, GRAVELIX_HQ_VST3});
#endif
    return p;
}

// A chord, noise and a loud burst, so that every stage and both clippers have work to do.
std::vector<float> signal(int channels, int frames) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
    std::vector<float> s;
    for (int i = 0; i < frames; ++i) {
        const double t = i / 48000.0;
        const float burst = i > frames / 2 && i < frames / 2 + 4000 ? 4.0f : 1.0f;
        for (int c = 0; c < channels; ++c) {
            s.push_back(burst * static_cast<float>(0.2 * std::sin(2 * M_PI * 110.0 * t) +
                                                   0.1 * std::sin(2 * M_PI * (277.0 + c) * t)) +
                        noise(rng));
        }
    }
    return s;
}

} // namespace

TEST(Vst3Pedals, RenderBitIdenticalToTheVst2PedalsForEveryProgramAndSettings) {
    toolstest::TempDir dir;
    toolstest::writeAudio(dir / "stereo.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 48000,
                          signal(2, 24000));
    toolstest::writeAudio(dir / "mono.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 48000,
                          signal(1, 24000));
    const std::vector<std::string> runs = {
        "--program 0",
        "--program 1 --set distortion=0.85 --set stereo=0.7",
        "--program 2 --set \"high cut=0.3\" --set \"low cut=0.65\" --set pickup=0.3",
        "--program 3 --set input=0.9 --set output=0.45 --set \"diode clipping=0.1\"",
    };
    for (const Pair& p : pairs()) {
        for (const char* input : {"stereo.wav", "mono.wav"}) {
            for (const std::string& run : runs) {
                const std::string what = std::string(p.name) + " " + input + " " + run;
                const auto a = runHost("render " + p.vst2 + " " + (dir / input) + " " +
                                       (dir / "a.wav") + " " + run);
                const auto b = runHost("render " + p.vst3 + " " + (dir / input) + " " +
                                       (dir / "b.wav") + " " + run);
                ASSERT_EQ(a.status, 0) << what << ": " << a.err;
                ASSERT_EQ(b.status, 0) << what << ": " << b.err;
                const auto vst2 = toolstest::readAudio(dir / "a.wav");
                const auto vst3 = toolstest::readAudio(dir / "b.wav");
                ASSERT_EQ(vst3.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT) << what;
                ASSERT_EQ(vst3.samples.size(), vst2.samples.size()) << what;
                std::size_t differing = 0, first = 0;
                double peak = 0.0;
                for (std::size_t i = 0; i < vst2.samples.size(); ++i) {
                    peak = std::max(peak, std::fabs(double(vst2.samples[i])));
                    if (std::memcmp(&vst2.samples[i], &vst3.samples[i], sizeof(float)) != 0) {
                        first = differing++ == 0 ? i : first;
                    }
                }
                EXPECT_EQ(differing, 0u) << what << ": first at " << first;
                EXPECT_GT(peak, 0.001) << what << ": silent";
            }
        }
    }
}

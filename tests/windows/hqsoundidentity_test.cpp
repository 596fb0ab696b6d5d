// Guards against Gravelix HQ sounding different on Windows and Linux: its own logarithm and
// arctangent, the lanes and the resampling must round alike in both builds, which are held to
// this one table of output hashes (the Linux build's).
#include "pluginrunner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

class HqSoundIdentity : public ::testing::Test {
protected:
    RecordingHost host;
    PluginLibrary library{GRAVELIX_HQ_PLUGIN};
};

TEST_F(HqSoundIdentity, EveryProgramAtEveryOversamplingFactor) {
    ASSERT_TRUE(library.loaded()) << library.error();
    const std::vector<ProgramHash> cases = {
        {0, 0.0f, 44100.0f, 0x11dd6573a8f1e1a9u}, {0, 1.0f, 44100.0f, 0x6dcb3c24b1467af5u},
        {1, 0.0f, 44100.0f, 0x51ba98dd5483cd21u}, {1, 1.0f, 44100.0f, 0x783e6a27db77977au},
        {2, 0.0f, 44100.0f, 0xe6f0b937c43eeb41u}, {2, 1.0f, 44100.0f, 0x370e064c12f54434u},
        {3, 0.0f, 44100.0f, 0x62c05f4a0d86f7ddu}, {3, 1.0f, 44100.0f, 0x7b25634b41fba3b9u},
        {1, 1.0f, 48000.0f, 0x2298f0a9af2d44afu}, {3, 1.0f, 96000.0f, 0x1c0ad607a47cdb7eu},
        {1, 0.0f, 192000.0f, 0xb4e4d13d02544e75u}};
    expectProgramHashes(library, cases);
}

// Every parameter through its range, the knee and the limits included, in stereo.
TEST_F(HqSoundIdentity, EveryParameterAcrossItsRange) {
    ASSERT_TRUE(library.loaded()) << library.error();
    const std::uint64_t expected[10] = {
        0x89ab85b33bbe3eb6u, 0x55b91f58bfff5449u, 0x13050106a4786f44u, 0xc1bedc3bc6c02ff3u,
        0xede84daf98c463e0u, 0x1e425d24a87e3a06u, 0xefd7d9516e45fbdau, 0xd93369345aa8517bu,
        0x241973a724885562u, 0xdd5097ea22b5fcc4u};
    expectParameterSweepHashes(library, expected, true);
}

} // namespace

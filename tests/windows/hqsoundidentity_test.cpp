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
        {0, 0.0f, 44100.0f, 0x747e9195767a63e9u}, {0, 1.0f, 44100.0f, 0x97af0163612df438u},
        {1, 0.0f, 44100.0f, 0xa212f4fd926c4f75u}, {1, 1.0f, 44100.0f, 0xea47ffa6f85ecdb1u},
        {2, 0.0f, 44100.0f, 0x095caf051bbc2215u}, {2, 1.0f, 44100.0f, 0xef3033740d7dbf0eu},
        {3, 0.0f, 44100.0f, 0x62c05f4a0d86f7ddu}, {3, 1.0f, 44100.0f, 0x7b25634b41fba3b9u},
        {1, 1.0f, 48000.0f, 0xec5f5dfca232b274u}, {3, 1.0f, 96000.0f, 0x1c0ad607a47cdb7eu},
        {1, 0.0f, 192000.0f, 0x015471783c6b4a11u}};
    expectProgramHashes(library, cases);
}

// Every parameter through its range, the knee and the limits included, in stereo.
TEST_F(HqSoundIdentity, EveryParameterAcrossItsRange) {
    ASSERT_TRUE(library.loaded()) << library.error();
    const std::uint64_t expected[10] = {
        0xe156ecdf9e66b733u, 0x3a90f7f4432658e7u, 0x82f0ec592f483d47u, 0xdac6aec565153546u,
        0x7968b82ddc392deeu, 0x63b84385133f0c5cu, 0x09becc807d1a0ad4u, 0x98933b2876a5b780u,
        0x7b48069c23af2668u, 0x5ec1ecd9fed588a9u};
    expectParameterSweepHashes(library, expected, true);
}

} // namespace

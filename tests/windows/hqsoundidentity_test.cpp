// Guards against Gravelix HQ sounding different on Windows and Linux: its own logarithm and
// arctangent, the lanes and the resampling must round alike in both builds, which are held to
// one table of output hashes (soundidentitytables.h, the Linux build's).
#include "pluginrunner.h"
#include "soundidentitytables.h"

#include <gtest/gtest.h>

namespace {

class HqSoundIdentity : public ::testing::Test {
protected:
    RecordingHost host;
    PluginLibrary library{GRAVELIX_HQ_PLUGIN};
};

TEST_F(HqSoundIdentity, EveryProgramAtEveryOversamplingFactor) {
    ASSERT_TRUE(library.loaded()) << library.error();
    expectProgramHashes(library, kHqSoundIdentityPrograms);
}

// Every parameter through its range, the knee and the limits included, in stereo.
TEST_F(HqSoundIdentity, EveryParameterAcrossItsRange) {
    ASSERT_TRUE(library.loaded()) << library.error();
    expectParameterSweepHashes(library, kHqParameterSweepHashes, true);
}

} // namespace

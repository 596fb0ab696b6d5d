// Guards against the Windows and the Linux plug-in sounding different: both builds must match
// one table (soundidentitytables.h, which the CLAP plug-ins match too), so a maths function or
// a compiler that rounds differently on one platform shows up as a changed hash.
#include "pluginlibrary.h"
#include "pluginrunner.h"
#include "recordinghost.h"
#include "soundidentitytables.h"

#include <gtest/gtest.h>

namespace {

class SoundIdentity : public ::testing::Test {
protected:
    RecordingHost host;
    PluginLibrary library{GRAVELIX_PLUGIN};
};

TEST_F(SoundIdentity, EveryProgramAtEveryRate) {
    ASSERT_TRUE(library.loaded()) << library.error();
    expectProgramHashes(library, soundIdentityPrograms());
}

TEST_F(SoundIdentity, EveryParameterAcrossItsRange) {
    ASSERT_TRUE(library.loaded()) << library.error();
    expectParameterSweepHashes(library, kParameterSweepHashes, false);
}

} // namespace

// Guards against the Windows and the Linux plug-in sounding different: both builds must match
// this one table, so a maths function or a compiler that rounds differently on one platform
// shows up as a changed hash. The hashes are the Linux build's output.
#include "pluginlibrary.h"
#include "pluginrunner.h"
#include "recordinghost.h"
#include "tests/effect/soundfingerprint.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <vector>

namespace {

class SoundIdentity : public ::testing::Test {
protected:
    RecordingHost host;
    PluginLibrary library{GRAVELIX_PLUGIN};
};

TEST_F(SoundIdentity, EveryProgramAtEveryRate) {
    ASSERT_TRUE(library.loaded()) << library.error();
    std::vector<ProgramHash> cases(std::begin(kEveryProgramAt44k), std::end(kEveryProgramAt44k));
    cases.insert(cases.end(), {{0, 1.0f, 48000.0f, 0xf698451a0f5d9233u},
                               {1, 0.0f, 48000.0f, 0x7355447d621fc4adu},
                               {2, 1.0f, 88200.0f, 0x95ca1d88b6545d35u},
                               {3, 0.0f, 96000.0f, 0xc92892400e5eec05u},
                               {1, 1.0f, 192000.0f, 0xf066d24a273faee5u},
                               {2, 0.0f, 22050.0f, 0xcc4821295a7a9c89u}});
    expectProgramHashes(library, cases);
}

TEST_F(SoundIdentity, EveryParameterAcrossItsRange) {
    ASSERT_TRUE(library.loaded()) << library.error();
    const std::uint64_t expected[10] = {
        0x3f496880275b2929u, 0x036247c222a89c41u, 0x135a5542e224def9u, 0x59dd26abff3b440du,
        0x477d0fec88bf6305u, 0x282a497b99db2165u, 0x5ed0f00418ee3299u, 0xfcb2d6459312d085u,
        0x54e4d5e07be8bf9cu, 0x4884a07742981ac5u};
    expectParameterSweepHashes(library, expected, false);
}

} // namespace

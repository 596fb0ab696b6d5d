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
        {0, 0.0f, 44100.0f, 0xbba5f32308d994b9u}, {0, 1.0f, 44100.0f, 0x3b24ab990f968cb9u},
        {1, 0.0f, 44100.0f, 0xc2e871e48099b6adu}, {1, 1.0f, 44100.0f, 0x27451a162a2cf76eu},
        {2, 0.0f, 44100.0f, 0x0f783b2b6a162bb1u}, {2, 1.0f, 44100.0f, 0x49b84d7793f20599u},
        {3, 0.0f, 44100.0f, 0x465a62031967b8b5u}, {3, 1.0f, 44100.0f, 0x129da9fd0641bec8u},
        {1, 1.0f, 48000.0f, 0xf9bcd3cfbad99cc4u}, {3, 1.0f, 96000.0f, 0x180df1a1429728a6u},
        {1, 0.0f, 192000.0f, 0x92faae7428377eadu}};
    const std::vector<float> left = noise(3000, 1.5f, 8), right = noise(3000, 0.8f, 9);
    for (const ProgramHash& c : cases) {
        Plugin plugin(library, c.rate);
        ASSERT_NE(plugin.effect, nullptr);
        plugin.call(effSetProgram, 0, c.program);
        plugin.effect->setParameter(plugin.effect, 8, c.stereo);
        BitHash hash;
        plugin.process(left, right, hash);
        EXPECT_EQ(hash.value, c.hash) << "program " << c.program << " stereo " << c.stereo << " at "
                                      << c.rate << ": 0x" << std::hex << hash.value;
    }
}

// Every parameter through its range, the knee and the limits included, in stereo.
TEST_F(HqSoundIdentity, EveryParameterAcrossItsRange) {
    ASSERT_TRUE(library.loaded()) << library.error();
    const std::uint64_t expected[10] = {
        0x5f671086a34f96d0u, 0xa071b7f96bf7f6a8u, 0x04b5713af2e5156au, 0x2fa53a88625265d4u,
        0xf88a42cdab3acb6cu, 0x033929764fbdab07u, 0x3ef1a4d4d786f907u, 0x32d224694e56321eu,
        0xda6ac637411cae02u, 0xee36e2d2ddd1488eu};
    const float values[] = {0.0f,  0.03f, 0.17f, 0.25f, 0.333f, 0.5f,
                            0.61f, 0.75f, 0.9f,  0.99f, 1.0f};
    for (VstInt32 index = 0; index < 10; ++index) {
        Plugin plugin(library, 44100.0f);
        ASSERT_NE(plugin.effect, nullptr);
        plugin.effect->setParameter(plugin.effect, 8, 1.0f);
        BitHash hash;
        unsigned seed = 20;
        for (float value : values) {
            plugin.effect->setParameter(plugin.effect, index, value);
            plugin.process(noise(256, 1.2f, seed), noise(256, 0.7f, seed + 1), hash);
            seed += 2;
        }
        EXPECT_EQ(hash.value, expected[index])
            << "parameter " << index << ": 0x" << std::hex << hash.value;
    }
}

} // namespace

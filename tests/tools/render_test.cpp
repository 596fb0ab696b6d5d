// Guards against renders that route channels wrongly, drop or repeat frames at block edges,
// change the file's format or rate, or accept settings the plug-in cannot take.
#include "testsupport.h"
#include "tools/hosting/pluginhost.h"

#include <gtest/gtest.h>

#include <algorithm>

using toolstest::readAudio;
using toolstest::runHost;
using toolstest::TempDir;
using toolstest::testSignal;
using toolstest::writeAudio;

namespace {

std::string fixture(const std::string& name) {
    return std::string(FIXTURE_DIR) + "/hostfixture_" + name + ".so";
}

} // namespace

TEST(Render, MonoGoesToBothInputsStereoKeepsItsSidesAndNoFrameIsLostAtBlockEdges) {
    TempDir dir;
    const auto mono = testSignal(1001);
    const auto stereo = testSignal(2 * 777);
    writeAudio(dir / "mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 22050, mono);
    writeAudio(dir / "stereo.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 96000, stereo);
    // The fixture doubles the left input and triples the right.
    auto r = runHost("render " + fixture("good") + " " + (dir / "mono.wav") + " " +
                     (dir / "out.wav") + " --block 64");
    ASSERT_EQ(r.status, 0) << r.err;
    auto out = readAudio(dir / "out.wav");
    EXPECT_EQ(out.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(out.info.channels, 2);
    EXPECT_EQ(out.info.samplerate, 22050);
    ASSERT_EQ(out.info.frames, 1001);
    // Compared with the input as read back: 16-bit storage is not exact.
    const auto monoIn = readAudio(dir / "mono.wav").samples;
    for (std::size_t i = 0; i < monoIn.size(); ++i) {
        ASSERT_EQ(out.samples[2 * i], 2.0f * monoIn[i]) << i;
        ASSERT_EQ(out.samples[2 * i + 1], 3.0f * monoIn[i]) << i;
    }

    r = runHost("render " + fixture("good") + " " + (dir / "stereo.aiff") + " " +
                (dir / "out.aiff") + " --block 100");
    ASSERT_EQ(r.status, 0) << r.err;
    out = readAudio(dir / "out.aiff");
    EXPECT_EQ(out.info.format, SF_FORMAT_AIFF | SF_FORMAT_PCM_16); // the input's format
    EXPECT_EQ(out.info.samplerate, 96000);
    ASSERT_EQ(out.info.frames, 777);
    const auto stereoIn = readAudio(dir / "stereo.aiff").samples;
    for (std::size_t i = 0; i < 777; ++i) {
        // Beyond full scale the integer output clips instead of wrapping around.
        ASSERT_NEAR(out.samples[2 * i], std::clamp(2.0f * stereoIn[2 * i], -1.0f, 1.0f), 1e-4f);
        ASSERT_NEAR(out.samples[2 * i + 1], std::clamp(3.0f * stereoIn[2 * i + 1], -1.0f, 1.0f),
                    1e-4f);
    }
}

TEST(Render, UnusableFilesAndSettingsAreRefusedWithoutWritingAnOutput) {
    TempDir dir;
    writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, testSignal(500));
    writeAudio(dir / "six.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 6, 44100, testSignal(600));
    std::ofstream(dir / "text.wav") << "this is not audio";
    const std::string plugin = fixture("good") + " ";
    const std::string in = dir / "in.wav", out = dir / "out.wav";
    struct Case {
        std::string args;
        const char* words;
    } cases[] = {
        {plugin + (dir / "none.wav") + " " + out, "no such file"},
        {plugin + (dir / "text.wav") + " " + out, "cannot read"},
        {plugin + (dir / "six.wav") + " " + out, "6 channels"},
        {plugin + in + " " + out + " --set Volume=0.5", "unknown parameter 'Volume'"},
        {plugin + in + " " + out + " --set Gain=1.5", "between 0 and 1"},
        {plugin + in + " " + out + " --set Gain=nan", "between 0 and 1"},
        {plugin + in + " " + out + " --set Gain=half", "not a number"},
        {plugin + in + " " + out + " --set Gain", "NAME=VALUE"},
        {plugin + in + " " + out + " --program Third", "unknown program 'Third'"},
        {plugin + in + " " + out + " --program 2", "does not exist"},
        {plugin + in + " " + out + " --block 0", "block size"},
        {plugin + in + " " + in, "overwrite the input"},
    };
    for (const auto& c : cases) {
        const auto r = runHost("render " + c.args);
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_NE(r.err.find(c.words), std::string::npos) << c.args << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.args;
    }
    // The input survived the attempt to overwrite it.
    EXPECT_EQ(readAudio(in).info.frames, 500);
}

#ifdef GRAVELIX_PLUGIN
// The same file through the real plug-in by the command and by hand, in one block, must agree
// bit for bit: the command's blocks, program and values change nothing else.
TEST(Render, RealPluginRoundTripMatchesDirectProcessing) {
    TempDir dir;
    const auto signal = testSignal(4000);
    writeAudio(dir / "in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 48000, signal);
    const auto r = runHost(std::string("render ") + GRAVELIX_PLUGIN + " " + (dir / "in.flac") +
                           " " + (dir / "out.wav") + " --program hi-gain --set distortion=0.3 " +
                           "--set 'HIGH CUT=0.9' --block 333");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto out = readAudio(dir / "out.wav");
    ASSERT_EQ(out.info.frames, 4000);
    ASSERT_EQ(out.info.channels, 2);

    gravelix::host::PluginHost plugin(GRAVELIX_PLUGIN);
    plugin.setSampleRate(48000.0f);
    plugin.setBlockSize(4000);
    plugin.setProgram(1);
    plugin.setParameter(plugin.findParameter("Distortion"), 0.3f);
    plugin.setParameter(plugin.findParameter("High Cut"), 0.9f);
    const auto in = readAudio(dir / "in.flac");
    std::vector<float> left = in.samples, right = in.samples, outL(4000), outR(4000);
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {outL.data(), outR.data()};
    plugin.resume();
    plugin.process(inputs, outputs, 4000);
    bool audible = false;
    for (std::size_t i = 0; i < 4000; ++i) {
        ASSERT_EQ(out.samples[2 * i], outL[i]) << i;
        ASSERT_EQ(out.samples[2 * i + 1], outR[i]) << i;
        audible = audible || outL[i] != 0.0f;
    }
    EXPECT_TRUE(audible);
}
#endif

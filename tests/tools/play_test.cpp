// Guards against live playing that differs from an offline render by a single bit, that
// garbles audio when the server changes its block size, ignores the command line's settings,
// or does not end cleanly on a signal, with no server, or when the server goes away.
#include "livesupport.h"
#include "testsupport.h"
#include "x11support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <unistd.h>

#ifdef GRAVELIX_PLUGIN

using livetest::Child;
using livetest::kDeadlineSeconds;
using livetest::PrivateServer;
using livetest::TestClient;

namespace {

constexpr int kRate = 48000;
constexpr int kPeriod = 256;
constexpr long long kMaxShift = 4096;
// What `play` names its client: the plug-in's name.
const std::string kPlayClient = "Gravelix x64";

struct Stereo {
    std::vector<float> left, right;
};

Stereo makeInput(std::size_t frames) {
    auto noise = toolstest::testSignal(2 * frames);
    return {{noise.begin(), noise.begin() + frames}, {noise.begin() + frames, noise.end()}};
}

bool sameBits(float a, float b) {
    return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

int countLines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

class LivePlay : public ::testing::Test {
protected:
    // Members go in reverse order of their end: the clients stop before the server.
    toolstest::TempDir dir;
    PrivateServer server{kPeriod, kRate};
    std::unique_ptr<Child> play;
    std::unique_ptr<TestClient> client;

    void SetUp() override { ASSERT_TRUE(server.ready()) << "jackd did not come up"; }

    // `play` on this server with these options.
    void startPlay(const std::vector<std::string>& options) {
        std::vector<std::string> argv = {GRAVELIX_HOST_EXE, "play", GRAVELIX_PLUGIN, "--server",
                                         server.name()};
        argv.insert(argv.end(), options.begin(), options.end());
        play = std::make_unique<Child>(argv, dir / "play.out", dir / "play.err");
    }

    // Starts the test client, then `play` (one client joining at a time, as people do), and
    // wires them both ways.
    void startBoth(const Stereo& input, std::size_t recordFrames,
                   const std::vector<std::string>& settings = {}, bool editor = false) {
        client = std::make_unique<TestClient>(server.name(), input.left, input.right, recordFrames);
        ASSERT_TRUE(client->ok());
        ASSERT_TRUE(client->waitUntilRunning());
        std::vector<std::string> options = {"--connect", "none"};
        if (!editor) {
            options.push_back("--no-editor");
        }
        options.insert(options.end(), settings.begin(), settings.end());
        startPlay(options);
        ASSERT_TRUE(client->connect(kPlayClient, [&] { return play->running(); })) << err();
    }

    // Stops `play` with the signal and expects the clean exit of a user's stop.
    void stopPlay(int sig) {
        play->signal(sig);
        EXPECT_EQ(play->wait(kDeadlineSeconds), 0) << err();
        EXPECT_NE(out().find("Played "), std::string::npos) << out();
    }

    std::string out() const { return toolstest::readFile(dir / "play.out"); }
    std::string err() const { return toolstest::readFile(dir / "play.err"); }

    // `gravelix-host render` of the same input; interleaved stereo.
    std::vector<float> render(const Stereo& input, int block, const std::string& settings) {
        std::vector<float> interleaved;
        for (std::size_t i = 0; i < input.left.size(); ++i) {
            interleaved.push_back(input.left[i]);
            interleaved.push_back(input.right[i]);
        }
        toolstest::writeAudio(dir / "in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, kRate,
                              interleaved);
        const auto r = toolstest::runHost("render " + std::string(GRAVELIX_PLUGIN) + " " +
                                          (dir / "in.wav") + " " + (dir / "out.wav") + " --block " +
                                          std::to_string(block) + " " + settings);
        EXPECT_EQ(r.status, 0) << r.err;
        return toolstest::readAudio(dir / "out.wav").samples;
    }

    // The smallest delay at which the recording over [from, to) is silence before the
    // rendered audio starts and equals it bit for bit afterwards; -1 when none does.
    // Whether recorded frames from..to equal the rendered ones `shift` frames earlier.
    bool matchesAt(const std::vector<float>& rendered, std::size_t from, std::size_t to,
                   long long shift) {
        const auto& recL = client->recordedLeft();
        const auto& recR = client->recordedRight();
        const std::size_t renderedFrames = rendered.size() / 2;
        to = std::min(to, recL.size());
        bool match = true;
        for (std::size_t k = from; k < to && match; ++k) {
            const long long j = static_cast<long long>(k) - shift;
            if (j < 0) {
                match = recL[k] == 0.0f && recR[k] == 0.0f;
            } else if (static_cast<std::size_t>(j) < renderedFrames) {
                match =
                    sameBits(recL[k], rendered[2 * j]) && sameBits(recR[k], rendered[2 * j + 1]);
            }
        }
        return match;
    }

    long long measureShift(const std::vector<float>& rendered, std::size_t from, std::size_t to) {
        for (long long shift = 0; shift <= kMaxShift; ++shift) {
            if (matchesAt(rendered, from, to, shift)) {
                return shift;
            }
        }
        return -1;
    }

    // Plays a short input through `play` with the given settings and compares with render.
    void expectLiveEqualsRender(const std::string& settings, const std::vector<std::string>& args) {
        const Stereo input = makeInput(kRate * 3 / 4);
        const std::size_t recordFrames = input.left.size() + kMaxShift;
        ASSERT_NO_FATAL_FAILURE(startBoth(input, recordFrames, args));
        ASSERT_TRUE(client->waitForPosition(recordFrames));
        client->close();
        stopPlay(SIGTERM);

        const auto rendered = render(input, kPeriod, settings);
        ASSERT_EQ(rendered.size(), 2 * input.left.size());
        const long long shift = measureShift(rendered, 0, recordFrames);
        std::printf("measured latency: %lld frames (period %d)\n", shift, kPeriod);
        RecordProperty("latency_frames", static_cast<int>(shift));
        // The way back to the test client is a feedback connection: one period late.
        EXPECT_EQ(shift, kPeriod);
    }
};

TEST_F(LivePlay, OutputEqualsRenderBitForBitOnePeriodLate) {
    expectLiveEqualsRender("", {});
}

TEST_F(LivePlay, ProgramAndParameterFromTheCommandLineAreHeard) {
    const std::string settings = "--program Hi-Gain --set distortion=0.8";
    // The settings make a difference, so hearing them is not an accident.
    const Stereo probe = makeInput(4096);
    ASSERT_NE(render(probe, kPeriod, settings), render(probe, kPeriod, ""));
    expectLiveEqualsRender(settings, {"--program", "Hi-Gain", "--set", "distortion=0.8"});
}

TEST_F(LivePlay, FollowsABlockSizeChangeWithoutLosingASample) {
    // Long enough that the change lands inside it however slow the machine is.
    const Stereo input = makeInput(kRate * 20);
    const std::size_t recordFrames = input.left.size();
    const std::size_t after = kRate / 2;
    ASSERT_NO_FATAL_FAILURE(startBoth(input, recordFrames));
    ASSERT_TRUE(client->waitForPosition(kRate / 4));
    ASSERT_EQ(jack_set_buffer_size(client->client(), kPeriod / 2), 0);
    for (int waited = 0; client->blockChangeAt() < 0 && waited < kDeadlineSeconds * 50; ++waited) {
        usleep(20000);
    }
    const long long change = client->blockChangeAt();
    ASSERT_GT(change, 0);
    ASSERT_TRUE(client->waitForPosition(static_cast<std::size_t>(change) + after));
    ASSERT_LT(static_cast<std::size_t>(change) + after, recordFrames);
    client->close();
    stopPlay(SIGINT);

    const std::size_t compared = static_cast<std::size_t>(change) + after;
    const auto rendered = render({{input.left.begin(), input.left.begin() + compared},
                                  {input.right.begin(), input.right.begin() + compared}},
                                 kPeriod, "");
    // Every sample before the change one period late.
    EXPECT_EQ(measureShift(rendered, 0, static_cast<std::size_t>(change)), kPeriod);
    // The plug-in is suspended and resumed to be told the new size, and a resume starts a new
    // stream: from the first block in the new size on, the output is a fresh instance's render
    // of the rest of the input, half a period late. Nothing dropped, repeated or silenced: one
    // block boundary near the change must account for every sample after it.
    long long restart = -1;
    const std::size_t first = static_cast<std::size_t>(change) - 3 * kPeriod;
    for (std::size_t p = first; p <= static_cast<std::size_t>(change) + kPeriod && restart < 0;
         p += kPeriod / 2) {
        const auto fresh = render({{input.left.begin() + static_cast<std::ptrdiff_t>(p),
                                    input.left.begin() + static_cast<std::ptrdiff_t>(compared)},
                                   {input.right.begin() + static_cast<std::ptrdiff_t>(p),
                                    input.right.begin() + static_cast<std::ptrdiff_t>(compared)}},
                                  kPeriod / 2, "");
        const auto shift = static_cast<long long>(p) + kPeriod / 2;
        if (matchesAt(fresh, static_cast<std::size_t>(change) + kPeriod, compared, shift)) {
            restart = static_cast<long long>(p);
        }
    }
    EXPECT_GE(restart, 0) << "no new stream starting near frame " << change
                          << " explains the output";
}

TEST_F(LivePlay, SigintWhileProcessingEndsCleanlyAndLeavesTheGraph) {
    const Stereo input = makeInput(kRate * 20);
    ASSERT_NO_FATAL_FAILURE(startBoth(input, input.left.size()));
    ASSERT_TRUE(client->waitForPosition(kRate / 2));
    // Audio is flowing through the plug-in when the signal comes.
    const auto& rec = client->recordedLeft();
    ASSERT_TRUE(std::any_of(rec.begin(), rec.begin() + kRate / 2, [](float v) { return v != 0; }));
    stopPlay(SIGINT);
    EXPECT_TRUE(err().empty()) << err();
    EXPECT_EQ(jack_port_by_name(client->client(), (kPlayClient + ":in_1").c_str()), nullptr);
    EXPECT_EQ(jack_port_connected(jack_port_by_name(client->client(), "gxtest-client:out_1")), 0);
}

TEST_F(LivePlay, ServerStoppedUnderItGivesOneLineAndExitsWithFailure) {
    const Stereo input = makeInput(kRate * 20);
    ASSERT_NO_FATAL_FAILURE(startBoth(input, input.left.size()));
    ASSERT_TRUE(client->waitForPosition(kRate / 4));
    client->close();
    EXPECT_TRUE(server.stop());
    EXPECT_EQ(play->wait(kDeadlineSeconds), 1);
    EXPECT_EQ(countLines(err()), 1) << err();
    EXPECT_NE(err().find("the JACK server stopped"), std::string::npos) << err();
}

TEST_F(LivePlay, ConnectAutoFeedsBothInputsFromTheFirstCaptureAndPlaysToTwoOutputs) {
    client =
        std::make_unique<TestClient>(server.name(), std::vector<float>{}, std::vector<float>{}, 0);
    ASSERT_TRUE(client->ok());
    ASSERT_TRUE(client->waitUntilRunning());
    startPlay({"--connect", "auto", "--no-editor"});
    const auto connections = [&](const std::string& port) {
        std::vector<std::string> names;
        jack_port_t* p = jack_port_by_name(client->client(), (kPlayClient + ":" + port).c_str());
        if (const char** all = p ? jack_port_get_all_connections(client->client(), p) : nullptr) {
            for (const char** n = all; *n; ++n) {
                names.emplace_back(*n);
            }
            jack_free(all);
        }
        return names;
    };
    using Names = std::vector<std::string>;
    // `play` wires itself after it is active; wait for the last connection it makes.
    for (int waited = 0; connections("out_2").empty() && waited < kDeadlineSeconds * 50; ++waited) {
        usleep(20000);
    }
    EXPECT_EQ(connections("in_1"), Names{"system:capture_1"});
    EXPECT_EQ(connections("in_2"), Names{"system:capture_1"});
    EXPECT_EQ(connections("out_1"), Names{"system:playback_1"});
    EXPECT_EQ(connections("out_2"), Names{"system:playback_2"});
    client->close();
    stopPlay(SIGINT);
}

// Shares the display: registered apart, labelled x11, and run alone (see CMakeLists.txt).
TEST_F(LivePlay, EditorOpensByDefaultItsKnobChangesTheSoundAndClosingItStops) {
    if (!toolstest::haveDisplay()) {
        GTEST_SKIP() << "no X display (run under scripts/with-display.sh)";
    }
    const Stereo input = makeInput(kRate * 20);
    const auto rendered = render(input, kPeriod, "");
    // `play` opens its editor before it joins the graph: once audio flows, the knobs are there.
    ASSERT_NO_FATAL_FAILURE(startBoth(input, input.left.size(), {}, true));
    ASSERT_TRUE(client->waitForPosition(kRate / 4));
    const std::size_t before = client->position();
    // The Distortion knob, dragged up by 100 pixels: from 0.6 to the top.
    ASSERT_TRUE(toolstest::dragInWindowNamed(kPlayClient, 192, 88, -100)) << "no editor window";
    // However late the main thread takes the drag, the sound changes before the input ends.
    const auto& recL = client->recordedLeft();
    const auto changed = [&] {
        const std::size_t end = std::min(client->position(), recL.size());
        for (std::size_t k = before + kPeriod; k < end; ++k) {
            if (!sameBits(recL[k], rendered[2 * (k - kPeriod)])) {
                return true;
            }
        }
        return false;
    };
    while (!changed() && client->position() < input.left.size()) {
        usleep(50000);
    }
    EXPECT_TRUE(changed()) << "the knob did not change the sound";
    EXPECT_EQ(measureShift(rendered, 0, before), kPeriod);

    ASSERT_TRUE(toolstest::closeWindowNamed(kPlayClient));
    EXPECT_EQ(play->wait(kDeadlineSeconds), 0) << err();
    EXPECT_NE(out().find("Played "), std::string::npos) << out();
    EXPECT_TRUE(err().empty()) << err();
}

TEST(PlayCommand, WithoutAServerSaysHowToStartOneAndFails) {
    setenv("JACK_NO_START_SERVER", "1", 1);
    const auto r =
        toolstest::runHost("play " + std::string(GRAVELIX_PLUGIN) +
                           " --no-editor --server gxtest-absent-" + std::to_string(getpid()));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(countLines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("jackd -d alsa"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("pw-jack gravelix-host play"), std::string::npos) << r.err;
}

} // namespace

#endif

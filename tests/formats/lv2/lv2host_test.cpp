// Guards gravelix-host's LV2 hosting of our own bundle: a pedal that sounds different through
// the bridge than as the VST 2.4 plug-in (a control mapped off its range, a preset's values
// lost, blocks split wrongly), `info` missing controls or presets, the LV2 checks failing our
// pedals, and bad bundle paths, URIs or --plugin choices that load something else or fail
// without saying why.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "gravelixprogram.h"
#include "tests/effect/soundfingerprint.h"

namespace {

namespace fs = std::filesystem;

const std::string kPlain = "https://keldwyn.example/plugins/gravelix";
const std::string kHq = "https://keldwyn.example/plugins/gravelix-hq";

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

// The command's standard output and error, and its exit status.
struct Result {
    int status;
    std::string output;
};
Result host(const std::string& arguments) {
    const std::string command = quoted(GRAVELIX_HOST) + " " + arguments + " 2>&1";
    Result r{-1, {}};
    if (FILE* pipe = popen(command.c_str(), "r")) {
        std::array<char, 4096> buffer{};
        for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
            r.output.append(buffer.data(), n);
        }
        r.status = pclose(pipe);
    }
    return r;
}

std::vector<float> readFloats(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) {
        return {};
    }
    EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT) << path;
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    return samples;
}

class Lv2Host : public testing::Test {
protected:
    static void SetUpTestSuite() {
        // One folder per process: ctest runs the cases side by side.
        dir = fs::path(GRAVELIX_TEST_OUTPUT_DIR) / ("lv2host-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 2;
        info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
        const std::vector<float> l = noise(6000, 1.4f, 7), r = noise(6000, 0.7f, 8);
        std::vector<float> in(2 * l.size());
        for (std::size_t i = 0; i < l.size(); ++i) {
            in[2 * i] = l[i];
            in[2 * i + 1] = r[i];
        }
        SNDFILE* f = sf_open((dir / "in.wav").c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr);
        sf_writef_float(f, in.data(), static_cast<sf_count_t>(l.size()));
        sf_close(f);
    }
    static void TearDownTestSuite() { fs::remove_all(dir); }
    static fs::path dir;
};
fs::path Lv2Host::dir;

TEST_F(Lv2Host, EveryProgramOfBothPedalsRendersAsTheVstPlugin) {
    const std::pair<const char*, std::string> pedals[] = {{GRAVELIX_PLUGIN, kPlain},
                                                          {GRAVELIX_HQ_PLUGIN, kHq}};
    const std::string in = quoted((dir / "in.wav").string());
    for (const auto& [vst, uri] : pedals) {
        for (const GravelixProgram& p : kFactoryPrograms) {
            // A block longer than the instance's longest one is split by the bridge.
            const std::string settings =
                " --program " + quoted(p.name) + " --set Stereo=1 --set Distortion=0.73 ";
            const fs::path vstOut = dir / "vst.wav", lv2Out = dir / "lv2.wav";
            ASSERT_EQ(host("render " + quoted(vst) + " " + in + " " + quoted(vstOut) + settings +
                           "--block 700")
                          .status,
                      0);
            const Result r = host("render " + quoted(GRAVELIX_LV2_BUNDLE) + " --plugin " + uri +
                                  " " + in + " " + quoted(lv2Out) + settings + "--block 256");
            ASSERT_EQ(r.status, 0) << r.output;
            const std::vector<float> a = readFloats(vstOut), b = readFloats(lv2Out);
            ASSERT_EQ(a.size(), 2u * 6000u);
            ASSERT_EQ(b.size(), a.size());
            EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0)
                << uri << " program " << p.name;
        }
    }
}

TEST_F(Lv2Host, InfoListsTenControlsFourPresetsAndTheLatency) {
    const Result plain = host("info " + quoted(GRAVELIX_LV2_BUNDLE));
    ASSERT_EQ(plain.status, 0) << plain.output;
    EXPECT_NE(plain.output.find("Parameters (10):"), std::string::npos) << plain.output;
    EXPECT_NE(plain.output.find("Programs (4):"), std::string::npos) << plain.output;
    for (const GravelixProgram& p : kFactoryPrograms) {
        EXPECT_NE(plain.output.find(p.name), std::string::npos) << p.name;
    }
    // The bundle's plug-ins with the one chosen marked, the first by URI by default.
    EXPECT_NE(plain.output.find("* " + kPlain + "\n"), std::string::npos) << plain.output;
    EXPECT_NE(plain.output.find("  " + kHq + "\n"), std::string::npos) << plain.output;
    EXPECT_NE(plain.output.find("Initial delay:  0"), std::string::npos) << plain.output;

    const Result hq = host("info " + quoted(GRAVELIX_LV2_BUNDLE) + " --plugin " + kHq);
    ASSERT_EQ(hq.status, 0) << hq.output;
    EXPECT_NE(hq.output.find("Name:           Gravelix HQ"), std::string::npos) << hq.output;
    EXPECT_NE(hq.output.find("Initial delay:  6"), std::string::npos) << hq.output;
    EXPECT_NE(hq.output.find("Stereo                    Mono"), std::string::npos) << hq.output;
}

TEST_F(Lv2Host, FindsAPluginByUriOnLv2Path) {
    const fs::path path = dir / "lv2path";
    fs::create_directories(path);
    fs::create_directory_symlink(GRAVELIX_LV2_BUNDLE, path / "gravelix.lv2");
    setenv("LV2_PATH", path.c_str(), 1);
    const Result found = host("info " + kHq);
    const Result other = host("info " + kHq + " --plugin " + kPlain);
    unsetenv("LV2_PATH");
    ASSERT_EQ(found.status, 0) << found.output;
    EXPECT_NE(found.output.find("Name:           Gravelix HQ"), std::string::npos);
    EXPECT_NE(other.status, 0);
    EXPECT_NE(other.output.find("one LV2 plug-in"), std::string::npos) << other.output;
}

TEST_F(Lv2Host, BadBundlesUrisAndChoicesSayWhatIsWrong) {
    struct Case {
        std::string arguments, message;
    };
    const fs::path empty = dir / "empty.lv2";
    fs::create_directories(empty);
    const Case cases[] = {
        {quoted((dir / "missing.lv2").string()), "no such file"},
        {quoted(dir.string()), "neither a shared library nor an LV2 bundle"},
        {quoted(empty.string()), "LV2 bundle without a plug-in"},
        {"urn:gravelix:nowhere", "no LV2 plug-in 'urn:gravelix:nowhere' is installed"},
        {quoted(GRAVELIX_LV2_BUNDLE) + " --plugin urn:gravelix:nowhere",
         "holds no LV2 plug-in 'urn:gravelix:nowhere' (it holds " + kPlain + ", " + kHq + ")"},
        {quoted(GRAVELIX_PLUGIN) + " --plugin " + kPlain,
         "applies to CLAP files, VST3 modules and LV2 bundles"},
    };
    for (const Case& c : cases) {
        const Result r = host("info " + c.arguments);
        EXPECT_NE(r.status, 0) << c.arguments;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.arguments << ": " << r.output;
    }
}

TEST_F(Lv2Host, BothPedalsPassTheLv2Checks) {
    for (const std::string& uri : {kPlain, kHq}) {
        const Result r = host("validate " + quoted(GRAVELIX_LV2_BUNDLE) + " --plugin " + uri +
                              " --no-editor --only lv2/");
        EXPECT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("4 passed, 0 failed"), std::string::npos) << r.output;
    }
}

} // namespace

// Guards the bundle as an LV2 host finds and runs it with no features at all (lv2apply: one
// frame per run, control values by symbol): a data file that names other ports, defaults or
// binaries than the libraries have, or a pedal whose sound differs from the VST 2.4 plug-in's
// rendering of the same program (both delay HQ by the same latency; neither compensates).
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gravelixprogram.h"
#include "parametertable.h"
#include "tests/effect/soundfingerprint.h"

namespace {

namespace fs = std::filesystem;

struct Pedal {
    const char* vst;
    const char* uri;
};
const Pedal kPedals[] = {
    {GRAVELIX_PLUGIN, "https://keldwyn.example/plugins/gravelix"},
    {GRAVELIX_HQ_PLUGIN, "https://keldwyn.example/plugins/gravelix-hq"},
};

std::string quotedArg(const std::string& s) {
    return "'" + s + "'";
}

bool writeStereo(const fs::path& path, int rate, const std::vector<float>& interleaved) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) {
        return false;
    }
    const auto frames = static_cast<sf_count_t>(interleaved.size() / 2);
    const bool ok = sf_writef_float(f, interleaved.data(), frames) == frames;
    sf_close(f);
    return ok;
}

std::vector<float> readStereo(const fs::path& path) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) {
        return {};
    }
    EXPECT_EQ(info.channels, 2) << path;
    EXPECT_EQ(info.format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT) << path;
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    return samples;
}

class Lv2Apply : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(GRAVELIX_TEST_OUTPUT_DIR) / "lv2apply";
        fs::remove_all(dir);
        fs::create_directories(dir / "lv2");
        // Only our bundle on the path: the build folder's other folders are no bundles.
        fs::create_directory_symlink(GRAVELIX_LV2_BUNDLE, dir / "lv2" / "gravelix.lv2");
        setenv("LV2_PATH", (dir / "lv2").c_str(), 1);
        std::vector<float> in(2 * 4000);
        const std::vector<float> l = noise(4000, 1.4f, 5), r = noise(4000, 0.7f, 6);
        for (std::size_t i = 0; i < l.size(); ++i) {
            in[2 * i] = l[i];
            in[2 * i + 1] = r[i];
        }
        ASSERT_TRUE(writeStereo(dir / "in.wav", 44100, in));
    }

    // The program with Stereo at `stereo`, through both formats; both outputs' samples.
    void render(const Pedal& pedal, int program, float stereo, std::vector<float>& vst,
                std::vector<float>& lv2) {
        const GravelixProgram& p = kFactoryPrograms[program];
        const fs::path vstOut = dir / "vst.wav", lv2Out = dir / "lv2.wav";
        fs::remove(vstOut);
        fs::remove(lv2Out);
        const std::string in = quotedArg((dir / "in.wav").string());
        std::string vstCommand = quotedArg(GRAVELIX_HOST) + " render " + quotedArg(pedal.vst) +
                                 " " + in + " " + quotedArg(vstOut.string()) + " --program " +
                                 quotedArg(p.name) + " --set Stereo=" + std::to_string(stereo) +
                                 " > /dev/null";
        std::string lv2Command =
            quotedArg(LV2APPLY) + " -i " + in + " -o " + quotedArg(lv2Out.string());
        for (const ParameterInfo& row : kParameterTable) {
            const float v = row.index == kStereo ? stereo : p.*row.field;
            char value[32];
            std::snprintf(value, sizeof value, "%.9g", static_cast<double>(v));
            lv2Command += std::string(" -c ") + row.symbol + " " + value;
        }
        lv2Command += " " + quotedArg(pedal.uri) + " > /dev/null";
        ASSERT_EQ(std::system(vstCommand.c_str()), 0) << vstCommand;
        ASSERT_EQ(std::system(lv2Command.c_str()), 0) << lv2Command;
        vst = readStereo(vstOut);
        lv2 = readStereo(lv2Out);
    }

    fs::path dir;
};

} // namespace

TEST_F(Lv2Apply, EveryProgramOfBothPedalsRendersAsTheVstPlugin) {
    for (const Pedal& pedal : kPedals) {
        for (int program = 0; program < static_cast<int>(std::size(kFactoryPrograms)); ++program) {
            for (float stereo : {0.0f, 1.0f}) {
                std::vector<float> vst, lv2;
                render(pedal, program, stereo, vst, lv2);
                ASSERT_EQ(vst.size(), 2u * 4000u);
                ASSERT_EQ(lv2.size(), vst.size()) << pedal.uri;
                EXPECT_EQ(std::memcmp(vst.data(), lv2.data(), vst.size() * sizeof(float)), 0)
                    << pedal.uri << " program " << kFactoryPrograms[program].name << " stereo "
                    << stereo;
            }
        }
    }
}

// Guards against Gravelix HQ aliasing or misreporting its latency as a host and our own
// analyser see it: the built plug-in measured through `gravelix-host analyze`.

#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

using toolstest::readFile;
using toolstest::runHost;
using toolstest::TempDir;

namespace {

// The named column of every row of a CSV table.
std::vector<double> column(const std::string& path, const std::string& name) {
    std::istringstream in(readFile(path));
    std::string line;
    std::getline(in, line);
    std::istringstream header(line);
    std::string cell;
    int index = -1;
    for (int i = 0; std::getline(header, cell, ','); ++i) {
        if (cell == name) {
            index = i;
        }
    }
    std::vector<double> values;
    while (index >= 0 && std::getline(in, line)) {
        std::istringstream cells(line);
        for (int i = 0; std::getline(cells, cell, ','); ++i) {
            if (i == index) {
                values.push_back(std::strtod(cell.c_str(), nullptr));
            }
        }
    }
    return values;
}

double jsonNumber(const std::string& json, const std::string& key) {
    const auto at = json.find("\"" + key + "\":");
    return at == std::string::npos ? NAN : std::strtod(json.c_str() + at + key.size() + 3, nullptr);
}

std::string analyze(const std::string& plugin, const std::string& out, const std::string& options) {
    const auto r = runHost("analyze " + plugin + " --out " + out + " " + options);
    EXPECT_EQ(r.status, 0) << r.err;
    return readFile(out + "/summary.json");
}

} // namespace

TEST(HqAnalyze, EveryAliasOfEveryProgramIsAtOrBelowMinus90dB) {
    TempDir dir;
    for (int rate : {44100, 48000, 96000}) {
        for (int program = 0; program < 4; ++program) {
            const std::string out =
                dir / ("alias-" + std::to_string(rate) + "-" + std::to_string(program));
            analyze(GRAVELIX_HQ_PLUGIN, out,
                    "--only aliasing --levels -20,-6,0 --rate " + std::to_string(rate) +
                        " --program " + std::to_string(program));
            const auto worst = column(out + "/aliasing.csv", "worst_alias_db");
            const auto tones = column(out + "/aliasing.csv", "tone_hz");
            const auto levels = column(out + "/aliasing.csv", "level_dbfs");
            ASSERT_EQ(worst.size(), 18u) << rate << " Hz, program " << program;
            for (std::size_t i = 0; i < worst.size(); ++i) {
                EXPECT_LE(worst[i], -90.0) << rate << " Hz, program " << program << ", " << tones[i]
                                           << " Hz at " << levels[i] << " dBFS";
            }
        }
    }
}

// HQ reports the delay its resampling adds to the pedal: the group delay at 1 kHz, read off the
// phase of both plug-ins' small-signal responses (the impulse response's peak, which analyze's
// latency reading takes, moves with each program's filters by a frame or two either way).
TEST(HqAnalyze, ReportedLatencyIsTheGroupDelayAddedAt1kHz) {
    TempDir dir;
    for (int rate : {44100, 48000, 96000}) {
        for (int program = 0; program < 4; ++program) {
            const std::string options = "--only response,latency --set input=0 --rate " +
                                        std::to_string(rate) + " --program " +
                                        std::to_string(program);
            const std::string tag = std::to_string(rate) + "-" + std::to_string(program);
            analyze(GRAVELIX_PLUGIN, dir / ("plain-" + tag), options);
            const std::string hq = analyze(GRAVELIX_HQ_PLUGIN, dir / ("hq-" + tag), options);
            // Seconds of delay between the grid points on either side of 1 kHz.
            auto delayAt1kHz = [](const std::string& csv) {
                const auto hz = column(csv, "frequency_hz");
                const auto phase = column(csv, "phase_deg");
                for (std::size_t i = 1; i + 1 < hz.size(); ++i) {
                    if (hz[i] == 1000.0) {
                        double turn = phase[i + 1] - phase[i - 1];
                        turn -= 360.0 * std::round(turn / 360.0);
                        return -turn / 360.0 / (hz[i + 1] - hz[i - 1]);
                    }
                }
                ADD_FAILURE() << "no 1 kHz point in " << csv;
                return 0.0;
            };
            // analyze takes the reported delay off the response: what is left over is the
            // error of the report, at most half a frame when it is the nearest whole number.
            const double unreported = (delayAt1kHz(dir / ("hq-" + tag) + "/response.csv") -
                                       delayAt1kHz(dir / ("plain-" + tag) + "/response.csv")) *
                                      rate;
            const double reported = jsonNumber(hq, "reported_latency_frames");
            EXPECT_GE(reported, 3.0);
            EXPECT_LE(std::abs(unreported), 0.5)
                << rate << " Hz, program " << program << ": reported " << reported << ", "
                << unreported << " frames more not reported";
            // The peak of the impulse response stays within two frames of it.
            EXPECT_LE(std::abs(jsonNumber(hq, "latency_frames") - reported -
                               jsonNumber(readFile(dir / ("plain-" + tag) + "/summary.json"),
                                          "latency_frames")),
                      2.0)
                << rate << " Hz, program " << program;
        }
    }
}

// Guards against an analyser that measures wrong: plug-ins whose response, harmonics, aliases
// and latency are known on paper go through the real `analyze` command, and bad plug-ins must
// end it with a message naming the analysis while keeping the files already written.
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <map>
#include <numbers>
#include <set>
#include <sstream>

using toolstest::readFile;
using toolstest::runHost;
using toolstest::TempDir;

namespace {

constexpr double kPi = std::numbers::pi;

std::string fixture(const std::string& name) {
    return std::string(FIXTURE_DIR) + "/analysisfixture_" + name + ".so";
}

// `gravelix-host analyze` of the named fixture into `out`, with any further options.
toolstest::RunResult analyze(const std::string& name, const std::string& out,
                             const std::string& options = "") {
    return runHost("analyze " + fixture(name) + " --out " + out + options);
}

struct Table {
    std::vector<std::string> header;
    std::vector<std::vector<double>> rows;
    double at(std::size_t row, const std::string& column) const {
        for (std::size_t i = 0; i < header.size(); ++i) {
            if (header[i] == column) {
                return rows.at(row).at(i);
            }
        }
        ADD_FAILURE() << "no column " << column;
        return NAN;
    }
};

Table readCsv(const std::string& path) {
    Table t;
    std::istringstream in(readFile(path));
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        std::istringstream cells(line);
        std::string cell;
        std::vector<double> row;
        while (std::getline(cells, cell, ',')) {
            if (first) {
                t.header.push_back(cell);
            } else {
                row.push_back(cell == "nan" ? NAN : std::stod(cell));
            }
        }
        if (!first) {
            t.rows.push_back(row);
        }
        first = false;
    }
    return t;
}

// Runs only `analysis` of the named fixture into `dir`/out (with any further options) and reads
// the table it wrote; a failed run fails the test.
Table analyzeOnly(const std::string& analysis, const std::string& name, const TempDir& dir,
                  const std::string& options = "") {
    const auto r = analyze(name, dir / "out", " --only " + analysis + options);
    EXPECT_EQ(r.status, 0) << r.err;
    return readCsv(dir / ("out/" + analysis + ".csv"));
}

// The number after "key": in the summary; NaN for null or a missing key.
double jsonValue(const std::string& json, const std::string& key) {
    const auto at = json.find("\"" + key + "\":");
    if (at == std::string::npos) {
        return NAN;
    }
    const std::string rest = json.substr(at + key.size() + 3);
    if (rest.rfind(" null", 0) == 0) {
        return NAN;
    }
    return std::stod(rest);
}

double db(double ratio) {
    return 20.0 * std::log10(ratio);
}

TEST(Analyze, HalfGainIsFlatWithNoHarmonicsOrAliasesAndTheFloorIsBelowMinus140dB) {
    TempDir dir;
    const auto r = analyze("half", dir / "out");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {"response", "harmonics", "levels", "aliasing"}) {
        EXPECT_TRUE(std::filesystem::exists(dir / ("out/" + std::string(name) + ".csv"))) << name;
        EXPECT_GT(std::filesystem::file_size(dir / ("out/" + std::string(name) + ".png")), 1000u)
            << name;
    }
    const Table response = readCsv(dir / "out/response.csv");
    ASSERT_GE(response.rows.size(), 200u);
    EXPECT_EQ(response.at(0, "frequency_hz"), 20.0);
    EXPECT_EQ(response.at(response.rows.size() - 1, "frequency_hz"), 20000.0);
    for (std::size_t i = 0; i < response.rows.size(); ++i) {
        EXPECT_NEAR(response.at(i, "gain_db"), db(0.5), 0.01) << response.at(i, "frequency_hz");
        EXPECT_NEAR(response.at(i, "phase_deg"), 0.0, 0.1) << response.at(i, "frequency_hz");
    }
    const Table harmonics = readCsv(dir / "out/harmonics.csv");
    ASSERT_EQ(harmonics.rows.size(), 21u);
    for (std::size_t i = 0; i < harmonics.rows.size(); ++i) {
        EXPECT_EQ(harmonics.at(i, "input_dbfs"), -40.0 + 2.0 * i);
        EXPECT_LT(harmonics.at(i, "thd_percent"), 1e-5);
        for (int h = 2; h <= 9; ++h) {
            EXPECT_LT(harmonics.at(i, "h" + std::to_string(h) + "_db"), -140.0);
        }
    }
    const Table levels = readCsv(dir / "out/levels.csv");
    ASSERT_EQ(levels.rows.size(), 67u);
    for (std::size_t i = 0; i < levels.rows.size(); ++i) {
        EXPECT_NEAR(levels.at(i, "output_dbfs"), levels.at(i, "input_dbfs") + db(0.5), 0.01);
    }
    const Table aliasing = readCsv(dir / "out/aliasing.csv");
    ASSERT_EQ(aliasing.rows.size(), 6u);
    for (std::size_t i = 0; i < aliasing.rows.size(); ++i) {
        EXPECT_LT(aliasing.at(i, "worst_alias_db"), -140.0) << aliasing.at(i, "tone_hz");
    }
    const std::string summary = readFile(dir / "out/summary.json");
    EXPECT_NE(summary.find("\"plugin\": \"Analysis fixture\""), std::string::npos) << summary;
    EXPECT_EQ(jsonValue(summary, "rate"), 48000.0);
    EXPECT_EQ(jsonValue(summary, "latency_frames"), 0.0);
    EXPECT_EQ(jsonValue(summary, "reported_latency_frames"), 0.0);
    EXPECT_NEAR(jsonValue(summary, "gain_db_at_1khz"), db(0.5), 0.01);
    EXPECT_LT(jsonValue(summary, "thd_percent_at_minus6dbfs"), 1e-5);
    EXPECT_LT(jsonValue(summary, "worst_alias_db"), -140.0);
    for (const char* name : {"response", "harmonics", "levels", "aliasing", "latency"}) {
        EXPECT_GE(jsonValue(summary, name), 0.0) << name << " has no time in " << summary;
    }
}

TEST(Analyze, OnePoleLowPassMatchesItsTransferFunction) {
    TempDir dir;
    const Table t = analyzeOnly("response", "lowpass", dir, " --rate 44100");
    ASSERT_GE(t.rows.size(), 200u);
    EXPECT_EQ(t.at(t.rows.size() - 1, "frequency_hz"), 20000.0);
    const double k = std::tan(kPi * 1000.0 / 44100.0);
    const double b0 = k / (1 + k), a1 = (k - 1) / (k + 1);
    bool sawCorner = false;
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        const double hz = t.at(i, "frequency_hz");
        const std::complex<double> z1 = std::polar(1.0, -2 * kPi * hz / 44100.0);
        const std::complex<double> h = b0 * (1.0 + z1) / (1.0 + a1 * z1);
        EXPECT_NEAR(t.at(i, "gain_db"), db(std::abs(h)), 0.01) << hz;
        EXPECT_NEAR(t.at(i, "phase_deg"), std::arg(h) * 180 / kPi, 0.1) << hz;
        if (hz == 1000.0) {
            sawCorner = true;
            EXPECT_NEAR(t.at(i, "gain_db"), -3.0103, 0.05);
            EXPECT_NEAR(t.at(i, "phase_deg"), -45.0, 0.5);
        }
    }
    EXPECT_TRUE(sawCorner);
    EXPECT_NEAR(jsonValue(readFile(dir / "out/summary.json"), "gain_db_at_1khz"), -3.0103, 0.05);
}

TEST(Analyze, CubicHasTheAnalyticThirdHarmonicAndNoEvenOnes) {
    TempDir dir;
    const Table t = analyzeOnly("harmonics", "cubic", dir);
    ASSERT_EQ(t.rows.size(), 21u);
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        // x - x^3/3 of A sin: (A - A^3/4) sin(wt) + (A^3/12) sin(3wt).
        const double a = std::pow(10.0, t.at(i, "input_dbfs") / 20.0);
        const double third = (a * a * a / 12) / (a - a * a * a / 4);
        EXPECT_NEAR(t.at(i, "h3_db"), db(third), 0.1) << t.at(i, "input_dbfs");
        EXPECT_NEAR(t.at(i, "thd_percent"), 100 * third, 100 * third * 0.012);
        for (const char* even : {"h2_db", "h4_db", "h6_db", "h8_db"}) {
            EXPECT_LT(t.at(i, even), -120.0) << even << " at " << t.at(i, "input_dbfs");
        }
    }
}

TEST(Analyze, HardClipperAliasesWhereFoldingPutsThem) {
    TempDir dir;
    const Table t = analyzeOnly("aliasing", "clip", dir);
    ASSERT_EQ(t.rows.size(), 6u);
    const int rate = 48000;
    double worstOverall = -1000;
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        const int tone = static_cast<int>(t.at(i, "tone_hz"));
        // Harmonics above Nyquist fold back; those that miss a harmonic are the aliases.
        std::set<int> predicted;
        for (int k = 2; k < 400; ++k) {
            int f = static_cast<int>((static_cast<long long>(k) * tone) % rate);
            f = f > rate / 2 ? rate - f : f;
            if (f % tone != 0) {
                predicted.insert(f);
            }
        }
        // Their levels, by a plain DFT of the clipped sine over one second.
        std::vector<double> y(rate);
        for (int n = 0; n < rate; ++n) {
            const double cycles = std::fmod(static_cast<double>(tone) * n, rate);
            const float x = static_cast<float>(0.5 * std::sin(2 * kPi * cycles / rate));
            y[n] = x > 0.25f ? 0.25f : x < -0.25f ? -0.25f : x;
        }
        auto magnitude = [&](int hz) {
            std::complex<double> sum = 0;
            for (int n = 0; n < rate; ++n) {
                sum += y[n] * std::polar(1.0, -2 * kPi * std::fmod(double(hz) * n, rate) / rate);
            }
            return std::abs(sum);
        };
        const double fundamental = magnitude(tone);
        double worst = -1000;
        for (int f : predicted) {
            worst = std::max(worst, db(magnitude(f) / fundamental));
        }
        if (predicted.empty()) {
            // At 1 kHz every fold lands on a harmonic of 48 kHz / 1 kHz: nothing to see.
            EXPECT_LT(t.at(i, "worst_alias_db"), -100.0) << tone;
            continue;
        }
        EXPECT_NEAR(t.at(i, "worst_alias_db"), worst, 1.0) << tone;
        EXPECT_TRUE(predicted.count(static_cast<int>(t.at(i, "alias_hz"))))
            << tone << " Hz: alias at " << t.at(i, "alias_hz");
        worstOverall = std::max(worstOverall, worst);
    }
    EXPECT_NEAR(jsonValue(readFile(dir / "out/summary.json"), "worst_alias_db"), worstOverall, 1.0);
}

TEST(Analyze, ReportedDelayIsCompensatedAndMeasuredDelayIsReportedApart) {
    TempDir dir;
    auto r = analyze("delay", dir / "reported", " --only response,latency");
    ASSERT_EQ(r.status, 0) << r.err;
    std::string summary = readFile(dir / "reported/summary.json");
    EXPECT_EQ(jsonValue(summary, "latency_frames"), 64.0) << summary;
    EXPECT_EQ(jsonValue(summary, "reported_latency_frames"), 64.0) << summary;
    const Table t = readCsv(dir / "reported/response.csv");
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        EXPECT_NEAR(t.at(i, "gain_db"), 0.0, 0.01) << t.at(i, "frequency_hz");
        EXPECT_NEAR(t.at(i, "phase_deg"), 0.0, 0.1) << t.at(i, "frequency_hz");
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "reported/harmonics.csv"));

    r = analyze("delay_unreported", dir / "unreported", " --only latency");
    ASSERT_EQ(r.status, 0) << r.err;
    summary = readFile(dir / "unreported/summary.json");
    EXPECT_EQ(jsonValue(summary, "latency_frames"), 64.0) << summary;
    EXPECT_EQ(jsonValue(summary, "reported_latency_frames"), 0.0) << summary;
    EXPECT_TRUE(std::isnan(jsonValue(summary, "gain_db_at_1khz"))) << summary;
}

TEST(Analyze, BadPluginsEndItNamingTheAnalysisAndKeepTheFilesWritten) {
    TempDir dir;
    auto r = analyze("nan", dir / "nan");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("'harmonics'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("NaN"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "nan/response.csv"));
    EXPECT_TRUE(std::filesystem::exists(dir / "nan/response.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "nan/harmonics.csv"));

    r = analyze("crash", dir / "crash");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("crashed during 'harmonics'"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "crash/response.csv"));

    r = analyze("hang", dir / "hang", " --timeout 1");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("'response' did not finish within 1 s"), std::string::npos) << r.err;

    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir / "")) {
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
    }
}

TEST(Analyze, SweepWritesEachValueAndOverlays) {
    TempDir dir;
    const auto r = analyze("half", dir / "out", " --sweep level=0,0.5 --only response,latency");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* value : {"0", "0.5"}) {
        const std::string suffix = std::string("-level-") + value;
        EXPECT_TRUE(std::filesystem::exists(dir / ("out/response" + suffix + ".csv")));
        EXPECT_TRUE(std::filesystem::exists(dir / ("out/response" + suffix + ".png")));
        EXPECT_TRUE(std::filesystem::exists(dir / ("out/summary" + suffix + ".json")));
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "out/response.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out/levels.csv"));
}

#ifdef GRAVELIX_PLUGIN
TEST(Analyze, PedalWritesEveryFileForEverySweptValue) {
    TempDir dir;
    const auto r = runHost(std::string("analyze ") + GRAVELIX_PLUGIN + " --out " + dir / "out" +
                           " --program TS --sweep distortion=0,1");
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::string> summaries;
    for (const char* value : {"0", "1"}) {
        const std::string suffix = std::string("-distortion-") + value;
        for (const char* name : {"response", "harmonics", "levels", "aliasing"}) {
            EXPECT_TRUE(
                std::filesystem::exists(dir / ("out/" + std::string(name) + suffix + ".csv")));
            EXPECT_TRUE(
                std::filesystem::exists(dir / ("out/" + std::string(name) + suffix + ".png")));
            EXPECT_TRUE(std::filesystem::exists(dir / ("out/" + std::string(name) + ".png")));
        }
        summaries[value] = readFile(dir / ("out/summary" + suffix + ".json"));
        EXPECT_NE(summaries[value].find("\"program\": \"TS\""), std::string::npos);
        // The pedal delays nothing; its low-passes only move the impulse response's peak.
        EXPECT_GE(jsonValue(summaries[value], "latency_frames"), 0.0);
        EXPECT_LE(jsonValue(summaries[value], "latency_frames"), 16.0);
        EXPECT_EQ(jsonValue(summaries[value], "reported_latency_frames"), 0.0);
        EXPECT_GT(jsonValue(summaries[value], "thd_percent_at_minus6dbfs"), 1.0);
    }
    // More drive, more gain and more distortion.
    EXPECT_GT(jsonValue(summaries["1"], "gain_db_at_1khz"),
              jsonValue(summaries["0"], "gain_db_at_1khz") + 6.0);
    EXPECT_GT(jsonValue(summaries["1"], "thd_percent_at_minus6dbfs"),
              jsonValue(summaries["0"], "thd_percent_at_minus6dbfs"));
}
#endif

TEST(Analyze, LevelsRepeatTheAliasingTonesAtEachLevel) {
    // The hard clipper (at 0.25) leaves a -30 dBFS tone clean and aliases a full-scale one.
    TempDir dir;
    const auto r = analyze("clip", dir / "out", " --only aliasing --levels -30,0");
    ASSERT_EQ(r.status, 0) << r.err;
    const Table t = readCsv(dir / "out/aliasing.csv");
    ASSERT_EQ(t.rows.size(), 12u);
    double worst = -1000.0;
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(t.at(i, "level_dbfs"), -30.0);
        EXPECT_EQ(t.at(i + 6, "level_dbfs"), 0.0);
        EXPECT_EQ(t.at(i, "tone_hz"), t.at(i + 6, "tone_hz"));
        EXPECT_LT(t.at(i, "worst_alias_db"), -140.0) << t.at(i, "tone_hz");
        worst = std::max({worst, t.at(i, "worst_alias_db"), t.at(i + 6, "worst_alias_db")});
    }
    EXPECT_GT(worst, -100.0);
    EXPECT_NEAR(jsonValue(readFile(dir / "out/summary.json"), "worst_alias_db"), worst, 1e-6);
}

TEST(Analyze, RefusesBadOptionsWithOneLine) {
    TempDir dir;
    for (const char* args : {" --only response,nope", " --sweep nope=0,1", " --sweep level=2",
                             " --sweep level", " --rate 100", " --timeout 0", " --set nope=1",
                             " --levels -6,loud", " --levels 7", " --levels -6,"}) {
        const auto r = analyze("half", dir / "out", args);
        EXPECT_NE(r.status, 0) << args;
        EXPECT_NE(r.err.find("gravelix-host: "), std::string::npos) << args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "out")) << "a refused run made its folder";
}

} // namespace

#include "reportfiles.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace gravelix::analysis {

namespace {

// Shortest text that reads back to the same double; "nan" for a missing value.
std::string number(double v) {
    if (!std::isfinite(v)) {
        return "nan";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", v);
    return text;
}

std::string jsonNumber(const std::optional<double>& v) {
    return v && std::isfinite(*v) ? number(*v) : "null";
}

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

} // namespace

void writeFileAtomically(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::error_code ec;
            std::filesystem::remove(temporary, ec);
            throw std::runtime_error("cannot write '" + path + "'");
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
        std::filesystem::remove(temporary, ec);
        throw std::runtime_error("cannot write '" + path + "': " + ec.message());
    }
}

namespace {

// A CSV file of numbers: the header line, then fields(row) for each row.
template <typename Rows, typename Fields>
void writeCsv(const std::string& path, const std::string& header, const Rows& rows, Fields fields) {
    std::string s = header + "\n";
    for (const auto& row : rows) {
        const std::vector<double> values = fields(row);
        for (std::size_t i = 0; i < values.size(); ++i) {
            s += (i == 0 ? "" : ",") + number(values[i]);
        }
        s += "\n";
    }
    writeFileAtomically(path, s);
}

} // namespace

void writeResponseCsv(const std::string& path, const ResponseResult& r) {
    writeCsv(path, "frequency_hz,gain_db,phase_deg", r.points, [](const ResponsePoint& p) {
        return std::vector<double>{p.hz, p.gainDb, p.phaseDeg};
    });
}

void writeHarmonicsCsv(const std::string& path, const HarmonicsResult& r) {
    writeCsv(path, "input_dbfs,thd_percent,h2_db,h3_db,h4_db,h5_db,h6_db,h7_db,h8_db,h9_db", r.rows,
             [](const HarmonicsRow& row) {
                 std::vector<double> values{row.inputDbfs, row.thdPercent};
                 values.insert(values.end(), row.harmonicDb.begin(), row.harmonicDb.end());
                 return values;
             });
}

void writeLevelsCsv(const std::string& path, const LevelsResult& r) {
    writeCsv(path, "input_dbfs,output_dbfs", r.curve, [](const std::array<double, 2>& p) {
        return std::vector<double>{p[0], p[1]};
    });
}

void writeAliasingCsv(const std::string& path, const AliasingResult& r) {
    writeCsv(path, "tone_hz,worst_alias_db,alias_hz,level_dbfs", r.rows, [](const AliasRow& row) {
        return std::vector<double>{row.toneHz, row.worstAliasDb, row.aliasHz, row.levelDbfs};
    });
}

void writeSummaryJson(const std::string& path, const Summary& m) {
    std::ostringstream s;
    auto optionalInt = [](const std::optional<int>& v) {
        return v ? std::to_string(*v) : std::string("null");
    };
    s << "{\n";
    s << "  \"plugin\": " << jsonString(m.plugin) << ",\n";
    s << "  \"path\": " << jsonString(m.path) << ",\n";
    s << "  \"rate\": " << m.rate << ",\n";
    s << "  \"settings\": {\n    \"program\": "
      << (m.program.empty() ? "null" : jsonString(m.program)) << ",\n    \"parameters\": {";
    for (std::size_t i = 0; i < m.parameters.size(); ++i) {
        s << (i ? ", " : "") << jsonString(m.parameters[i].first) << ": "
          << jsonNumber(m.parameters[i].second);
    }
    s << "}\n  },\n";
    s << "  \"latency_frames\": " << optionalInt(m.latencyFrames) << ",\n";
    s << "  \"reported_latency_frames\": " << optionalInt(m.reportedLatencyFrames) << ",\n";
    s << "  \"gain_db_at_1khz\": " << jsonNumber(m.gainDbAt1kHz) << ",\n";
    s << "  \"thd_percent_at_minus6dbfs\": " << jsonNumber(m.thdPercentAtMinus6) << ",\n";
    s << "  \"worst_alias_db\": " << jsonNumber(m.worstAliasDb) << ",\n";
    s << "  \"seconds\": {";
    for (std::size_t i = 0; i < m.seconds.size(); ++i) {
        s << (i ? ", " : "") << jsonString(m.seconds[i].first) << ": "
          << jsonNumber(m.seconds[i].second);
    }
    s << "}\n}\n";
    writeFileAtomically(path, s.str());
}

} // namespace gravelix::analysis

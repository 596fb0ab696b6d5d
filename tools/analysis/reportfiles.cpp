#include "reportfiles.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

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

void writeResponseCsv(const std::string& path, const ResponseResult& r) {
    std::string s = "frequency_hz,gain_db,phase_deg\n";
    for (const auto& p : r.points) {
        s += number(p.hz) + "," + number(p.gainDb) + "," + number(p.phaseDeg) + "\n";
    }
    writeFileAtomically(path, s);
}

void writeHarmonicsCsv(const std::string& path, const HarmonicsResult& r) {
    std::string s = "input_dbfs,thd_percent,h2_db,h3_db,h4_db,h5_db,h6_db,h7_db,h8_db,h9_db\n";
    for (const auto& row : r.rows) {
        s += number(row.inputDbfs) + "," + number(row.thdPercent);
        for (double h : row.harmonicDb) {
            s += "," + number(h);
        }
        s += "\n";
    }
    writeFileAtomically(path, s);
}

void writeLevelsCsv(const std::string& path, const LevelsResult& r) {
    std::string s = "input_dbfs,output_dbfs\n";
    for (const auto& p : r.curve) {
        s += number(p[0]) + "," + number(p[1]) + "\n";
    }
    writeFileAtomically(path, s);
}

void writeAliasingCsv(const std::string& path, const AliasingResult& r) {
    std::string s = "tone_hz,worst_alias_db,alias_hz\n";
    for (const auto& row : r.rows) {
        s += number(row.toneHz) + "," + number(row.worstAliasDb) + "," + number(row.aliasHz) + "\n";
    }
    writeFileAtomically(path, s);
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

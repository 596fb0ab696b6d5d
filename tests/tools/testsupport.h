// Running gravelix-host as a user would, and small audio-file helpers for the tools' tests.
#pragma once

#include <sndfile.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace toolstest {

struct RunResult {
    int status = -1;
    std::string out, err;
};

inline std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A fresh directory per test, removed afterwards.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "gxtools-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline RunResult runHost(const std::string& args) {
    TempDir dir;
    const std::string out = dir / "out", err = dir / "err";
    const std::string cmd = std::string(GRAVELIX_HOST_EXE) + " " + args + " >" + out + " 2>" + err;
    const int raw = std::system(cmd.c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(out), readFile(err)};
}

struct Audio {
    SF_INFO info{};
    std::vector<float> samples; // interleaved
};

inline Audio readAudio(const std::string& path) {
    Audio a;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &a.info);
    if (!f) {
        return a;
    }
    a.samples.resize(static_cast<std::size_t>(a.info.frames * a.info.channels));
    sf_readf_float(f, a.samples.data(), a.info.frames);
    sf_close(f);
    return a;
}

inline void writeAudio(const std::string& path, int format, int channels, int rate,
                       const std::vector<float>& samples) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    sf_writef_float(f, samples.data(), static_cast<sf_count_t>(samples.size() / channels));
    sf_close(f);
}

// Deterministic test signal in -0.8..0.8, exactly representable in 16-bit PCM.
inline std::vector<float> testSignal(std::size_t count) {
    std::vector<float> s(count);
    unsigned state = 12345;
    for (auto& v : s) {
        state = state * 1103515245u + 12345u;
        v = static_cast<float>(static_cast<int>((state >> 16) % 52429) - 26214) / 32768.0f;
    }
    return s;
}

} // namespace toolstest

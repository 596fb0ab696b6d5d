#include "soundfile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

namespace gravelix::host {

SoundFile::SoundFile(std::string path, SNDFILE* file, const SF_INFO& info)
    : path_(std::move(path)), file_(file), info_(info) {}

SoundFile::SoundFile(SoundFile&& other) noexcept
    : path_(std::move(other.path_)), file_(other.file_), info_(other.info_) {
    other.file_ = nullptr;
}

SoundFile::~SoundFile() {
    if (file_) {
        sf_close(file_);
    }
}

SoundFile SoundFile::openRead(const std::string& path) {
    if (!std::filesystem::exists(path)) {
        throw std::runtime_error("cannot read '" + path + "': no such file");
    }
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        throw std::runtime_error("cannot read '" + path + "': " + sf_strerror(nullptr));
    }
    return SoundFile(path, file, info);
}

SoundFile SoundFile::openWrite(const std::string& path, int format, int channels, int sampleRate) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    if (!sf_format_check(&info)) {
        throw std::runtime_error("cannot write '" + path + "': that file type cannot hold " +
                                 std::to_string(channels) + " channels at " +
                                 std::to_string(sampleRate) + " Hz in this sample format");
    }
    // The system's own words for a missing folder differ between Linux and Windows.
    const auto folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder)) {
        throw std::runtime_error("cannot write '" + path + "': no such folder '" + folder.string() +
                                 "'");
    }
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        throw std::runtime_error("cannot write '" + path + "': " + sf_strerror(nullptr));
    }
    // Integer formats would otherwise wrap values beyond full scale around.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // A float file's PEAK chunk carries the time of writing: without it the same audio always
    // makes the same file.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    return SoundFile(path, file, info);
}

sf_count_t SoundFile::read(float* frames, sf_count_t count) {
    return sf_readf_float(file_, frames, count);
}

void SoundFile::write(const float* frames, sf_count_t count) {
    if (sf_writef_float(file_, frames, count) != count) {
        throw std::runtime_error("cannot write '" + path_ + "': " + sf_strerror(file_));
    }
}

void SoundFile::close() {
    if (file_) {
        SNDFILE* file = file_;
        file_ = nullptr;
        if (sf_close(file) != 0) {
            throw std::runtime_error("cannot finish '" + path_ + "'");
        }
    }
}

int outputFormatFor(const std::string& outPath, int inputFormat, const std::string& sampleFormat) {
    std::string ext = std::filesystem::path(outPath).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    struct Container {
        const char* ext;
        int major;
        int usualSubtype;
    };
    static constexpr Container containers[] = {
        {".wav", SF_FORMAT_WAV, SF_FORMAT_FLOAT},    {".w64", SF_FORMAT_W64, SF_FORMAT_FLOAT},
        {".flac", SF_FORMAT_FLAC, SF_FORMAT_PCM_24}, {".aif", SF_FORMAT_AIFF, SF_FORMAT_PCM_24},
        {".aiff", SF_FORMAT_AIFF, SF_FORMAT_PCM_24}, {".ogg", SF_FORMAT_OGG, SF_FORMAT_VORBIS},
        {".caf", SF_FORMAT_CAF, SF_FORMAT_FLOAT},    {".au", SF_FORMAT_AU, SF_FORMAT_FLOAT},
    };
    const int inputMajor = inputFormat & SF_FORMAT_TYPEMASK;
    const int inputSubtype = inputFormat & SF_FORMAT_SUBMASK;
    int major = inputMajor;
    int subtype = inputSubtype;
    for (const auto& c : containers) {
        if (ext == c.ext) {
            major = c.major;
            subtype =
                (major == inputMajor && major != SF_FORMAT_WAV) ? inputSubtype : c.usualSubtype;
        }
    }
    if (sampleFormat == "float") {
        subtype = SF_FORMAT_FLOAT;
    } else if (sampleFormat == "16") {
        subtype = SF_FORMAT_PCM_16;
    } else if (sampleFormat == "24") {
        subtype = SF_FORMAT_PCM_24;
    } else if (sampleFormat != "auto") {
        throw std::runtime_error("unknown sample format '" + sampleFormat +
                                 "' (auto, float, 16 or 24)");
    }
    return major | subtype;
}

void writeFloatWav(const std::string& path, const std::vector<float>& samples, int channels,
                   int sampleRate) {
    auto file = SoundFile::openWrite(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, channels, sampleRate);
    file.write(samples.data(), static_cast<sf_count_t>(samples.size() / channels));
    file.close();
}

} // namespace gravelix::host

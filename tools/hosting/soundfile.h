// A libsndfile handle that closes itself and reports failures as one-line exceptions.
#pragma once

#include <sndfile.h>

#include <string>
#include <vector>

namespace gravelix::host {

class SoundFile {
public:
    static SoundFile openRead(const std::string& path);
    // format is a libsndfile format word (major | subtype); throws when it cannot be written.
    static SoundFile openWrite(const std::string& path, int format, int channels, int sampleRate);

    SoundFile(SoundFile&& other) noexcept;
    SoundFile& operator=(SoundFile&&) = delete;
    SoundFile(const SoundFile&) = delete;
    ~SoundFile();

    const SF_INFO& info() const { return info_; }
    const std::string& path() const { return path_; }

    // Interleaved frames; reading answers fewer at the end of the file.
    sf_count_t read(float* frames, sf_count_t count);
    void write(const float* frames, sf_count_t count); // throws on a short write
    // Flushes and closes; throws if the file could not be completed.
    void close();

private:
    SoundFile(std::string path, SNDFILE* file, const SF_INFO& info);

    std::string path_;
    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
};

// The format to write OUT in: the container named by its extension (the input's when the
// extension is unknown); 32-bit float for WAV, the input's sample format when the container
// is the input's, the container's usual one otherwise. sampleFormat "float", "16" or "24"
// overrides the sample format; "auto" keeps the rule.
int outputFormatFor(const std::string& outPath, int inputFormat, const std::string& sampleFormat);

// Writes mono or interleaved samples as a 32-bit float WAV file.
void writeFloatWav(const std::string& path, const std::vector<float>& samples, int channels,
                   int sampleRate);

} // namespace gravelix::host

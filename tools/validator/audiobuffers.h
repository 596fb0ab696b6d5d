// Channel buffers with guard zones on both sides, test signals and output analysis.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace gravelix::validator {

// numChannels channels of frames samples each; writes outside [0, frames) are caught by
// guard patterns that no sane sample value equals.
class AudioBuffers {
public:
    AudioBuffers(int numChannels, int frames);

    float** channels() { return pointers.data(); }
    float* channel(int c) { return pointers[static_cast<std::size_t>(c)]; }
    const float* channel(int c) const { return pointers[static_cast<std::size_t>(c)]; }
    int numChannels() const { return static_cast<int>(pointers.size()); }
    int frames() const { return length; }

    void fill(float value);
    // The first frames samples of each channel both have, taken from source.
    void copyFrom(const AudioBuffers& source, int frames);
    // Whether every guard sample still holds its pattern.
    bool guardsIntact() const;
    // Whether the samples equal other's bit for bit.
    bool sameBits(const AudioBuffers& other) const;

    static constexpr int kGuard = 64;

private:
    int length;
    std::vector<std::vector<float>> storage;
    std::vector<float*> pointers;
};

// What the samples of some channels look like.
struct SignalStats {
    std::size_t nonFinite = 0;
    std::size_t subnormal = 0;
    float peak = 0;
    double sumSquares = 0;
    std::size_t count = 0;

    void add(const float* samples, int frames);
    void add(const AudioBuffers& buffers, int frames);
    double rms() const { return count ? std::sqrt(sumSquares / double(count)) : 0.0; }
    // Empty when finite, free of subnormals and within bound; otherwise why not.
    std::string problem(float bound) const;
    // Off where the CPU is emulated without flush-to-zero (valgrind), so that subnormals say
    // nothing about the plug-in.
    static inline bool judgeSubnormals = true;
};

// Deterministic test signals; values are per channel and sample.
class SignalGenerator {
public:
    enum class Kind { Noise, Overdrive, DcPositive, DcNegative, Square, Silence, Sine };
    SignalGenerator(Kind kind, std::uint64_t seed, float sampleRate = 44100.0f);
    void fill(AudioBuffers& buffers, int frames);
    static const char* name(Kind kind);

private:
    Kind kind;
    std::mt19937_64 rng;
    float rate;
    std::uint64_t position = 0;
};

// Full-scale white noise, the same for the same seed.
std::vector<float> noise(std::size_t frames, std::uint64_t seed, float amplitude = 1.0f);

} // namespace gravelix::validator

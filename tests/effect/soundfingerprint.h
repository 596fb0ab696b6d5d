// The sound's fingerprint as the effect's and the built plug-in's tests take it: deterministic
// noise in, an FNV-1a hash of the output bits out, and the hashes every program must give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

// Deterministic noise in [-amplitude, amplitude].
inline std::vector<float> noise(std::size_t n, float amplitude, unsigned seed = 1) {
    std::vector<float> v(n);
    for (auto& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = amplitude * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
    return v;
}

// FNV-1a over output bits, folded in as they are produced.
class BitHash {
public:
    void add(const float* samples, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            std::uint32_t word;
            std::memcpy(&word, &samples[i], sizeof word);
            for (int byte = 0; byte < 4; ++byte) {
                value = (value ^ ((word >> (8 * byte)) & 0xffu)) * 0x100000001b3u;
            }
        }
    }
    std::uint64_t value = 0xcbf29ce484222325u;
};

// The hash of a program's output, left and right interleaved, for noise(3000, 1.5f, 8) left
// and noise(3000, 0.8f, 9) right with the stereo switch at `stereo`.
struct ProgramHash {
    int program;
    float stereo;
    float rate;
    std::uint64_t hash;
};

// Every program, mono and stereo, at 44.1 kHz.
inline constexpr ProgramHash kEveryProgramAt44k[] = {
    {0, 0.0f, 44100.0f, 0xfc8339de89bc72b9u}, {0, 1.0f, 44100.0f, 0x28ea792835b8a1eau},
    {1, 0.0f, 44100.0f, 0x3537e61076d2d0b1u}, {1, 1.0f, 44100.0f, 0x82f42c0df1a62a13u},
    {2, 0.0f, 44100.0f, 0x7400f06f525bde19u}, {2, 1.0f, 44100.0f, 0x75e3f9aefd2d0085u},
    {3, 0.0f, 44100.0f, 0x8f9a2b8e02121931u}, {3, 1.0f, 44100.0f, 0x4d44bdd4f1900739u},
};

#pragma once

// Input and warm-up shared by the benchmark and the callgrind driver, so both measure the
// plug-in in the same state.
#include <algorithm>
#include <cstddef>
#include <vector>

#include "gravelix.h"

namespace bench {

constexpr VstInt32 kWarmUpBlock = 512;

inline std::vector<float> noise(std::size_t n, unsigned seed) {
    std::vector<float> v(n);
    for (auto& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
    }
    return v;
}

inline void configure(Gravelix& g, bool stereo, bool effect) {
    g.setParameter(Gravelix::kStereo, stereo ? 1.0f : 0.0f);
    g.setParameter(Gravelix::kEffect, effect ? 1.0f : 0.0f);
}

// Processes `frames` frames of `l`/`r` from `offset`; `outL`/`outR` hold at least `frames`.
inline void process(Gravelix& g, std::vector<float>& l, std::vector<float>& r,
                    std::vector<float>& outL, std::vector<float>& outR, std::size_t offset,
                    VstInt32 frames) {
    float* in[2] = {l.data() + offset, r.data() + offset};
    float* out[2] = {outL.data(), outR.data()};
    g.processReplacing(in, out, frames);
}

// One second of a loud note, then five seconds of silence for the filter states to decay
// (where they would turn subnormal). Leaves `l` and `r` silent; `l` holds a second of input.
inline void settleAfterNote(Gravelix& g, std::vector<float>& l, std::vector<float>& r) {
    std::vector<float> outL(kWarmUpBlock), outR(kWarmUpBlock);
    for (std::size_t done = 0; done < 44100; done += kWarmUpBlock) {
        process(g, l, r, outL, outR, done, kWarmUpBlock);
    }
    std::fill(l.begin(), l.end(), 0.0f);
    std::fill(r.begin(), r.end(), 0.0f);
    for (std::size_t done = 0; done < 5 * 44100; done += kWarmUpBlock) {
        process(g, l, r, outL, outR, 0, kWarmUpBlock);
    }
}

} // namespace bench

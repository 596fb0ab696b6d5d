// Runs processReplacing for callgrind: only measured() is counted, so the warm-up (a loud
// note and the silence after it) stays out of the figures.
// Usage: gravelix_callgrind_driver STEREO(0|1) EFFECT(0|1) BLOCK SILENCE(0|1) FRAMES
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "benchsetup.h"

namespace {

void runFrames(Gravelix& g, std::vector<float>& l, std::vector<float>& r, VstInt32 block,
               long frames) {
    std::vector<float> outL(static_cast<std::size_t>(block)), outR(outL.size());
    for (long done = 0; done < frames; done += block) {
        const auto offset =
            static_cast<std::size_t>(done) % (l.size() - static_cast<std::size_t>(block));
        bench::process(g, l, r, outL, outR, offset, block);
    }
}

[[gnu::noinline]] void measured(Gravelix& g, std::vector<float>& l, std::vector<float>& r,
                                VstInt32 block, long frames) {
    runFrames(g, l, r, block, frames);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s STEREO EFFECT BLOCK SILENCE FRAMES\n", argv[0]);
        return 2;
    }
    const bool stereo = std::atoi(argv[1]) != 0;
    const bool effect = std::atoi(argv[2]) != 0;
    const auto block = static_cast<VstInt32>(std::atoi(argv[3]));
    const bool silence = std::atoi(argv[4]) != 0;
    const long frames = std::atol(argv[5]);
    if (block <= 0 || block > 4096 || frames <= 0 || frames % block != 0) {
        std::fprintf(stderr, "BLOCK must be 1..4096 and divide FRAMES\n");
        return 2;
    }

    Gravelix g(nullptr);
    bench::configure(g, stereo, effect);
    std::vector<float> l = bench::noise(1 << 16, 1), r = bench::noise(1 << 16, 2);
    if (silence) {
        bench::settleAfterNote(g, l, r);
    }
    measured(g, l, r, block, frames);
    return 0;
}

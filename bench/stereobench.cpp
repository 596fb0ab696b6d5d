// The stereo path against mono in one run, and the two-lane stereo chain against the scalar
// statement it replaces.
#include <benchmark/benchmark.h>

#include <ctime>
#include <vector>

#include "benchsetup.h"
#include "flushdenormals.h"
#include "signalchain.h"

namespace {

constexpr VstInt32 kBlock = 512;
constexpr int kBlocksPerSlice = 8;
constexpr std::size_t kNoiseFrames = 1 << 16;

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Mono and stereo (effect on, noise, 512-frame blocks) take turns in slices of a few blocks,
// so a busy machine slows both alike; stereo_over_mono is the ratio of their thread CPU times.
void BM_StereoOverMono(benchmark::State& state) {
    Gravelix mono(nullptr), stereo(nullptr);
    bench::configure(mono, false, true);
    bench::configure(stereo, true, true);
    std::vector<float> l = bench::noise(kNoiseFrames + kBlock, 1);
    std::vector<float> r = bench::noise(kNoiseFrames + kBlock, 2);
    std::vector<float> outL(kBlock), outR(kBlock);
    double monoSeconds = 0.0, stereoSeconds = 0.0;
    std::size_t offset = 0;
    const auto slice = [&](Gravelix& g) {
        const double start = threadSeconds();
        for (int b = 0; b < kBlocksPerSlice; ++b) {
            bench::process(g, l, r, outL, outR, (offset + b * kBlock) % kNoiseFrames, kBlock);
            benchmark::DoNotOptimize(outL.data());
            benchmark::ClobberMemory();
        }
        return threadSeconds() - start;
    };
    for (auto _ : state) {
        monoSeconds += slice(mono);
        stereoSeconds += slice(stereo);
        offset = (offset + kBlocksPerSlice * kBlock) % kNoiseFrames;
    }
    const double frames = static_cast<double>(state.iterations()) * kBlocksPerSlice * kBlock;
    state.counters["mono_ns"] = 1e9 * monoSeconds / frames;
    state.counters["stereo_ns"] = 1e9 * stereoSeconds / frames;
    state.counters["stereo_over_mono"] = stereoSeconds / monoSeconds;
}
BENCHMARK(BM_StereoOverMono);

// Argument: 0 the scalar statement, 1 the two-lane chain. The chain alone, program 0 in
// stereo, flush-to-zero on as in processReplacing.
void BM_StereoChain(benchmark::State& state) {
    const bool lanes = state.range(0) != 0;
    struct Probe : Gravelix {
        using Gravelix::Gravelix, Gravelix::chain;
    };
    Probe g(nullptr);
    bench::configure(g, true, true);
    const SignalChain& chain = g.chain;
    const std::vector<float> l = bench::noise(kNoiseFrames, 1), r = bench::noise(kNoiseFrames, 2);
    std::vector<float> outL(kNoiseFrames), outR(kNoiseFrames);
    SignalChain::ChannelState left{}, right{};
#if GRAVELIX_STEREO_LANES
    SignalChain::Lanes both = SignalChain::toLanes(left, right);
#else
    if (lanes) {
        state.SkipWithError("no two-lane chain on this CPU");
        return;
    }
#endif
    FlushDenormals flush;
    flush.engage();
    std::size_t offset = 0;
    for (auto _ : state) {
        for (std::size_t i = offset; i < offset + kBlock; ++i) {
#if GRAVELIX_STEREO_LANES
            if (lanes) {
                chain.stereo(l[i], r[i], both, outL[i], outR[i]);
                continue;
            }
#endif
            chain.stereo(l[i], r[i], left, right, outL[i], outR[i]);
        }
        benchmark::ClobberMemory();
        offset = (offset + kBlock) % kNoiseFrames;
    }
    state.counters["per_frame"] = benchmark::Counter(
        kBlock, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_StereoChain)->ArgName("lanes")->Arg(0)->Arg(1);

} // namespace

// processReplacing cost per frame: mono/stereo, effect on/off, two block sizes, on noise and
// on the silence after a loud note (where filter states would decay into subnormals).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "benchsetup.h"

namespace {

constexpr float kRealTimeRate = 44100.0f;
constexpr std::size_t kNoiseFrames = 1 << 16;

enum Signal : std::int64_t { kNoise = 0, kSilenceAfterNote = 1 };

// Arguments: stereo (0/1), effect (0/1), block size, signal.
void BM_ProcessReplacing(benchmark::State& state) {
    const bool stereo = state.range(0) != 0;
    const bool effect = state.range(1) != 0;
    const auto block = static_cast<VstInt32>(state.range(2));
    const auto signal = static_cast<Signal>(state.range(3));

    Gravelix g(nullptr);
    bench::configure(g, stereo, effect);

    std::vector<float> l = bench::noise(kNoiseFrames + 512, 1);
    std::vector<float> r = bench::noise(kNoiseFrames + 512, 2);
    std::vector<float> outL(512), outR(512);
    if (signal == kSilenceAfterNote) {
        bench::settleAfterNote(g, l, r);
    }

    std::size_t offset = 0;
    for (auto _ : state) {
        bench::process(g, l, r, outL, outR, offset, block);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
        offset = (offset + static_cast<std::size_t>(block)) % kNoiseFrames;
    }
    const double frames = static_cast<double>(block);
    state.SetItemsProcessed(state.iterations() * block);
    // Time per frame (with its SI prefix: 38.7n is 38.7 ns) and how many times faster than
    // real time at 44.1 kHz one core runs.
    state.counters["per_frame"] = benchmark::Counter(
        frames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["realtime_x"] =
        benchmark::Counter(frames / kRealTimeRate, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_ProcessReplacing)
    ->ArgNames({"stereo", "effect", "block", "silence"})
    ->ArgsProduct({{0, 1}, {1, 0}, {32, 512}, {kNoise, kSilenceAfterNote}});

} // namespace

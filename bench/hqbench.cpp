// Gravelix and Gravelix HQ side by side: processReplacing's cost per stereo (and mono) frame of
// each built plug-in as a host loads it, at 44.1 and 48 kHz, in 64- and 512-frame blocks.
#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <cstdio>
#include <string>
#include <vector>

#include "plugin/aeffect.h"

namespace {

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

AEffect* open(const char* path) {
    using Entry = AEffect* (*)(audioMasterCallback);
    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    auto entry = library ? reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain")) : nullptr;
    if (entry == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", path);
        return nullptr;
    }
    return entry(hostCallback);
}

std::vector<float> noise(std::size_t n, unsigned seed) {
    std::vector<float> v(n);
    for (auto& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
    }
    return v;
}

// Arguments: HQ (0/1), rate, block size, stereo (0/1), program: Hi-Gain (1) takes the diode's
// two-logarithm form, Gritty (3) its arctangent series. Effect on.
void BM_PluginFrame(benchmark::State& state) {
    const bool hq = state.range(0) != 0;
    const auto rate = static_cast<float>(state.range(1));
    const auto block = static_cast<VstInt32>(state.range(2));
    const bool stereo = state.range(3) != 0;
    const auto program = static_cast<VstIntPtr>(state.range(4));
    AEffect* e = open(hq ? GRAVELIX_HQ_PLUGIN : GRAVELIX_PLUGIN);
    if (e == nullptr) {
        state.SkipWithError("plug-in not loaded");
        return;
    }
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, rate);
    e->dispatcher(e, effSetBlockSize, 0, block, nullptr, 0.0f);
    e->dispatcher(e, effSetProgram, 0, program, nullptr, 0.0f);
    e->setParameter(e, 8, stereo ? 1.0f : 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

    constexpr std::size_t kFrames = 1 << 16;
    std::vector<float> l = noise(kFrames + 512, 1), r = noise(kFrames + 512, 2);
    for (auto& x : l) {
        x *= 0.5f;
    }
    for (auto& x : r) {
        x *= 0.5f;
    }
    std::vector<float> outL(512), outR(512);
    std::size_t offset = 0;
    for (auto _ : state) {
        float* in[2] = {l.data() + offset, r.data() + offset};
        float* out[2] = {outL.data(), outR.data()};
        e->processReplacing(e, in, out, block);
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
        offset = (offset + static_cast<std::size_t>(block)) % kFrames;
    }
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    state.SetLabel(std::string(hq ? "Gravelix HQ" : "Gravelix") + (stereo ? " stereo" : " mono") +
                   (program == 1 ? " Hi-Gain" : " Gritty"));
    state.counters["per_frame"] = benchmark::Counter(static_cast<double>(block),
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

BENCHMARK(BM_PluginFrame)
    ->ArgNames({"hq", "rate", "block", "stereo", "program"})
    ->ArgsProduct({{0, 1}, {44100, 48000}, {64, 512}, {1, 0}, {1, 3}});

} // namespace

#include "playengine.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

namespace gravelix::host {

namespace {
// steady_clock reads the clock without entering the kernel on both systems.
std::uint64_t nowNanos() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}
} // namespace

PlayEngine::PlayEngine(const PluginHost& plugin) : plugin_(plugin) {
    const AEffect* effect = plugin.effect();
    if (effect->numInputs < 0 || effect->numOutputs < 1 || effect->numInputs > kMaxChannels ||
        effect->numOutputs > kMaxChannels) {
        throw std::runtime_error(
            "the plug-in claims " + std::to_string(effect->numInputs) + " inputs and " +
            std::to_string(effect->numOutputs) + " outputs; 0 to " + std::to_string(kMaxChannels) +
            " inputs and 1 to " + std::to_string(kMaxChannels) + " outputs can be played");
    }
    numInputs_ = effect->numInputs;
    numOutputs_ = effect->numOutputs;
    replacing_ = (effect->flags & effFlagsCanReplacing) && effect->processReplacing;
}

void PlayEngine::configure(int sampleRate, int blockSize) {
    allocateScratch(blockSize);
    plugin_.state().setProcessLevel(kVstProcessLevelRealtime);
    plugin_.setSampleRate(static_cast<float>(sampleRate));
    plugin_.setBlockSize(blockSize);
    sampleRate_.store(sampleRate);
    capacity_.store(blockSize);
}

void PlayEngine::resume() {
    // A format change may already be on its way.
    acquire(Reconfiguring);
    if (!resumed_) {
        plugin_.resume();
        resumed_ = true;
    }
    state_.store(Idle, std::memory_order_release);
}

void PlayEngine::suspend() {
    if (resumed_) {
        plugin_.suspend();
        resumed_ = false;
    }
}

PlayLoad PlayEngine::takeLoad() {
    PlayLoad load;
    const std::uint64_t busy = busyNanos_.exchange(0, std::memory_order_relaxed);
    const std::uint64_t frames = frames_.load(std::memory_order_relaxed);
    const std::uint64_t newFrames = frames - framesTaken_;
    framesTaken_ = frames;
    totalFrames_ += newFrames;
    const int rate = sampleRate_.load(std::memory_order_relaxed);
    if (newFrames > 0 && rate > 0) {
        load.average = static_cast<double>(busy) * rate / (1e9 * static_cast<double>(newFrames));
    }
    load.peak = peak_.exchange(0.0f, std::memory_order_relaxed);
    load.xruns = xruns_.load(std::memory_order_relaxed);
    load.seconds = rate > 0 ? static_cast<double>(totalFrames_) / rate : 0.0;
    return load;
}

void PlayEngine::allocateScratch(int frames) {
    const int extraIn = std::max(0, numInputs_ - 2);
    const int extraOut = std::max(0, numOutputs_ - 1);
    scratch_.assign(static_cast<std::size_t>(extraIn + extraOut) * frames, 0.0f);
    inputs_.assign(std::max(numInputs_, 1), nullptr);
    outputs_.assign(numOutputs_, nullptr);
    float* next = scratch_.data();
    for (int c = 2; c < numInputs_; ++c, next += frames) {
        inputs_[c] = next;
    }
    // Output 2 and up get scratch; output 2 goes to out[1] only when it exists.
    for (int c = 1; c < numOutputs_; ++c, next += frames) {
        outputs_[c] = next;
    }
}

// Called on the audio thread; no allocation, locks, I/O or system calls.
void PlayEngine::process(float* const in[2], float* const out[2], int frames) {
    int expected = Idle;
    const bool mine =
        state_.compare_exchange_strong(expected, Processing, std::memory_order_acquire);
    const int rate = sampleRate_.load(std::memory_order_relaxed);
    if (!mine || frames > capacity_.load(std::memory_order_relaxed)) {
        // The format is changing under us: silence rather than a plug-in in mid-change.
        if (mine) {
            state_.store(Idle, std::memory_order_release);
        }
        for (int c = 0; c < 2; ++c) {
            std::memset(out[c], 0, sizeof(float) * frames);
        }
        return;
    }
    const std::uint64_t begin = nowNanos();
    for (int c = 0; c < std::min(numInputs_, 2); ++c) {
        inputs_[c] = in[c];
    }
    // Extra inputs stay silent even if the plug-in scribbled on them last time.
    for (int c = 2; c < numInputs_; ++c) {
        std::memset(inputs_[c], 0, sizeof(float) * frames);
    }
    outputs_[0] = out[0];
    if (numOutputs_ >= 2) {
        outputs_[1] = out[1];
    }
    if (!replacing_) {
        for (int c = 0; c < numOutputs_; ++c) {
            std::memset(outputs_[c], 0, sizeof(float) * frames);
        }
    }
    plugin_.process(inputs_.data(), outputs_.data(), static_cast<VstInt32>(frames));
    if (numOutputs_ == 1) {
        std::memcpy(out[1], out[0], sizeof(float) * frames);
    }
    const std::uint64_t busy = nowNanos() - begin;
    state_.store(Idle, std::memory_order_release);

    busyNanos_.fetch_add(busy, std::memory_order_relaxed);
    frames_.fetch_add(static_cast<std::uint64_t>(frames), std::memory_order_relaxed);
    const float load =
        static_cast<float>(static_cast<double>(busy) * rate / (1e9 * static_cast<double>(frames)));
    float peak = peak_.load(std::memory_order_relaxed);
    while (load > peak && !peak_.compare_exchange_weak(peak, load, std::memory_order_relaxed)) {
    }
}

void PlayEngine::reconfigure(int sampleRate, int blockSize) {
    if (sampleRate <= 0) {
        sampleRate = sampleRate_.load();
    }
    if (blockSize <= 0) {
        blockSize = capacity_.load();
    }
    if (sampleRate == sampleRate_.load() && blockSize == capacity_.load()) {
        return;
    }
    acquire(Reconfiguring);
    if (resumed_) {
        plugin_.suspend();
    }
    if (sampleRate != sampleRate_.load()) {
        plugin_.setSampleRate(static_cast<float>(sampleRate));
        sampleRate_.store(sampleRate);
    }
    if (blockSize != capacity_.load()) {
        plugin_.setBlockSize(blockSize);
        allocateScratch(blockSize);
        capacity_.store(blockSize);
    }
    if (resumed_) {
        plugin_.resume();
    }
    state_.store(Idle, std::memory_order_release);
}

// Waits (off the audio thread) until the audio thread is between periods, then holds it off.
void PlayEngine::acquire(State state) {
    int expected = Idle;
    while (!state_.compare_exchange_weak(expected, state, std::memory_order_acquire)) {
        expected = Idle;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

} // namespace gravelix::host

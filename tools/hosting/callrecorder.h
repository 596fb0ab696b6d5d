// The log of calls a plug-in makes into the host, written from any thread without locks or
// allocation: each calling thread gets a fixed ring of its own on its first call.
#pragma once

#include "plugin/aeffect.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace gravelix::host {

// One call the plug-in made into the host.
struct HostCall {
    VstInt32 opcode = 0;
    VstInt32 index = 0;
    VstIntPtr value = 0;
    float opt = 0.0f;
    std::thread::id thread;
};

class CallRecorder {
public:
    // Threads beyond kRings calling back, or more than kRingCalls calls from one thread since
    // the last clear, are answered as usual but not recorded (counted in dropped()).
    static constexpr int kRings = 8;
    static constexpr std::size_t kRingCalls = 4096;

    CallRecorder();
    CallRecorder(const CallRecorder&) = delete;
    CallRecorder& operator=(const CallRecorder&) = delete;

    // Called on any thread, the audio thread included; no allocation, no lock.
    void record(const HostCall& call);
    // Gives the calling thread its per-thread state now (see PluginHost::prepareThread).
    static void prepareThread();

    // Every recorded call since the last clear, in the order they were made.
    std::vector<HostCall> calls() const;
    void clear();
    std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    struct Entry {
        HostCall call;
        std::uint64_t order = 0;
    };
    // Written by its owning thread only; read and cleared (tail moved up) by the readers.
    struct Ring {
        std::atomic<std::uint64_t> owner{0};
        std::atomic<std::uint64_t> head{0};
        std::atomic<std::uint64_t> tail{0};
        std::unique_ptr<Entry[]> entries;
    };
    Ring* ringOfThisThread();

    Ring rings_[kRings];
    std::atomic<std::uint64_t> order_{0};
    std::atomic<std::uint64_t> dropped_{0};
    mutable std::mutex readers_; // readers only; the writers never take it
};

} // namespace gravelix::host

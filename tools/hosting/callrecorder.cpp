#include "callrecorder.h"

#include <algorithm>

namespace gravelix::host {

namespace {

std::atomic<std::uint64_t> nextThreadToken{1};
// Zero until the thread first records. Plain TLS on Linux; emulated on Windows, where its first
// use on a thread allocates (see prepareThread).
thread_local std::uint64_t threadToken = 0;

std::uint64_t thisThreadToken() {
    if (threadToken == 0) {
        threadToken = nextThreadToken.fetch_add(1, std::memory_order_relaxed);
    }
    return threadToken;
}

} // namespace

void CallRecorder::prepareThread() {
    thisThreadToken();
}

CallRecorder::CallRecorder() {
    for (Ring& ring : rings_) {
        ring.entries = std::make_unique<Entry[]>(kRingCalls);
    }
}

CallRecorder::Ring* CallRecorder::ringOfThisThread() {
    const std::uint64_t me = thisThreadToken();
    for (Ring& ring : rings_) {
        const std::uint64_t owner = ring.owner.load(std::memory_order_acquire);
        if (owner == me) {
            return &ring;
        }
        if (owner == 0) {
            std::uint64_t expected = 0;
            if (ring.owner.compare_exchange_strong(expected, me, std::memory_order_acq_rel) ||
                expected == me) {
                return &ring;
            }
        }
    }
    return nullptr;
}

// Called on any thread, the audio thread included; no allocation, no lock.
void CallRecorder::record(const HostCall& call) {
    Ring* ring = ringOfThisThread();
    const std::uint64_t order = order_.fetch_add(1, std::memory_order_relaxed);
    if (!ring) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    const std::uint64_t head = ring->head.load(std::memory_order_relaxed);
    if (head - ring->tail.load(std::memory_order_acquire) >= kRingCalls) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    ring->entries[head % kRingCalls] = {call, order};
    ring->head.store(head + 1, std::memory_order_release);
}

std::vector<HostCall> CallRecorder::calls() const {
    std::vector<Entry> all;
    {
        std::lock_guard lock(readers_);
        for (const Ring& ring : rings_) {
            const std::uint64_t head = ring.head.load(std::memory_order_acquire);
            for (std::uint64_t i = ring.tail.load(std::memory_order_relaxed); i < head; ++i) {
                all.push_back(ring.entries[i % kRingCalls]);
            }
        }
    }
    std::sort(all.begin(), all.end(),
              [](const Entry& a, const Entry& b) { return a.order < b.order; });
    std::vector<HostCall> out;
    out.reserve(all.size());
    for (const Entry& e : all) {
        out.push_back(e.call);
    }
    return out;
}

void CallRecorder::clear() {
    std::lock_guard lock(readers_);
    for (Ring& ring : rings_) {
        ring.tail.store(ring.head.load(std::memory_order_acquire), std::memory_order_release);
    }
    dropped_.store(0, std::memory_order_relaxed);
}

} // namespace gravelix::host

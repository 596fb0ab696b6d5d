// Edits made in the editor on the host's main thread, on their way to the host as output events
// of the next process or flush call.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

struct EditorEvent {
    enum class Kind : std::uint8_t { begin, value, end };
    Kind kind = Kind::value;
    std::int32_t index = 0;
    float value = 0.0f;
};

// One producer (the main thread) and one consumer (whichever of process and flush runs; the
// host never runs the two at once). Lock-free and allocation-free on both sides; when full,
// the newest event is dropped (the value itself has reached the pedal already).
class EditorEventQueue {
public:
    bool push(const EditorEvent& e) {
        const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) >= kSize) {
            return false;
        }
        slots_[tail % kSize] = e;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }
    bool pop(EditorEvent& e) {
        const std::uint32_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) {
            return false;
        }
        e = slots_[head % kSize];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

private:
    static constexpr std::uint32_t kSize = 256;
    std::array<EditorEvent, kSize> slots_{};
    std::atomic<std::uint32_t> head_{0};
    std::atomic<std::uint32_t> tail_{0};
};

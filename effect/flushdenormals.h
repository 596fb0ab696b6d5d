#pragma once

// Scoped switch of the CPU's float control state to flush-to-zero and denormals-are-zero.
// Filter states decaying in silence otherwise sit in subnormal numbers for ever, and each
// operation on those costs an order of magnitude more. The caller's state is restored on
// destruction, and engage()/release() let the audio loop keep it only where it computes.

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

class FlushDenormals {
public:
    FlushDenormals() : saved(read()) {}
    ~FlushDenormals() { release(); }
    FlushDenormals(const FlushDenormals&) = delete;
    FlushDenormals& operator=(const FlushDenormals&) = delete;

    void engage() {
        if (!engaged) {
            write(saved | kFlushBits);
            engaged = true;
        }
    }
    void release() {
        if (engaged) {
            write(saved);
            engaged = false;
        }
    }

private:
#if defined(__x86_64__) || defined(__i386__)
    static constexpr std::uint64_t kFlushBits = 0x8040; // MXCSR FTZ (bit 15) | DAZ (bit 6)
    static std::uint64_t read() { return _mm_getcsr(); }
    static void write(std::uint64_t v) { _mm_setcsr(static_cast<unsigned>(v)); }
#elif defined(__aarch64__)
    static constexpr std::uint64_t kFlushBits = std::uint64_t{1} << 24; // FPCR.FZ
    static std::uint64_t read() {
        std::uint64_t v;
        __asm__ __volatile__("mrs %0, fpcr" : "=r"(v));
        return v;
    }
    static void write(std::uint64_t v) { __asm__ __volatile__("msr fpcr, %0" : : "r"(v)); }
#else
    static constexpr std::uint64_t kFlushBits = 0;
    static std::uint64_t read() { return 0; }
    static void write(std::uint64_t) {}
#endif

    std::uint64_t saved;
    bool engaged = false;
};

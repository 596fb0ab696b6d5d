#pragma once

#include <array>
#include <cstdint>
#include <iterator>
#include <optional>

#include "gravelixprogram.h"
#include "parametertable.h"
#include "pedalstate.h"
#include "pedalvariant.h"

// The pedal as every plug-in format shares it: the ten parameter values with their program
// records, the coefficient rules, the signal chain and its latency. It knows no plug-in
// interface, host or editor; each format's adapter (and the VST 2.4 effect) drives one.
//
// Threads: parameter and program changes may come from any thread, one at a time, and compute
// every derived value there; process runs on the audio thread and reads each derived value
// whole (a change is heard from the next sample that reads it). setSampleRate and reset are
// called while nothing processes.
class PedalCore {
public:
    using enum ParameterIndex;

    static constexpr std::int32_t kNumPrograms =
        static_cast<std::int32_t>(std::size(kFactoryPrograms));
    // Outside this range some rules turn unstable (the pickup filter first, at low rates).
    static constexpr float kMinProcessRate = 22050.0f;
    static constexpr float kMaxProcessRate = 384000.0f;
    static constexpr float kStartRate = 44100.0f;
    // The longest display text, without its terminating zero.
    static constexpr std::int32_t kTextChars = 8;

    // Program 0 applied at 44.1 kHz, every stage's state cleared.
    PedalCore();

    // value in 0..1 and a valid index (the caller clamps): stored in the current program's
    // record and the coefficients derived from it are recomputed.
    void set(std::int32_t index, float value);
    float value(std::int32_t index) const { return values[static_cast<std::size_t>(index)]; }
    // What a VST 2.4 host's getParameter reads: the value, or the switch it sets.
    float answer(std::int32_t index) const;

    std::int32_t program() const { return currentProgram; }
    // Only makes `program` current (later changes go to its record); out of range: ignored.
    void selectProgram(std::int32_t program);
    // Makes `program` current and applies its record's values in table order.
    void applyProgram(std::int32_t program);

    // The current program and the values, to save; restoring makes that program current and
    // applies the values in table order (its record takes them, as after any change).
    PedalState state() const;
    void restore(const PedalState& state);

    // A rate that is no positive finite number is ignored; others are clamped into the range
    // above for the coefficients. Answers whether the latency changed.
    bool setSampleRate(float rate);
    // The coefficient start-up: the rate's fixed coefficients, Low Cut and High Cut back on
    // their start-up corners until next set, every state cleared.
    void startUp();
    // A new stream: every stage's per-channel state is cleared, nothing else.
    void reset() { chain.reset(); }
    std::int32_t latencyFrames() const { return chain.clippers.latencyFrames(); }

    // Audio thread; real time: no allocation, locks, host calls or transcendental functions.
    // Buffers may be the same (in place). frames <= 0 does nothing.
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                 std::int32_t frames);

    // The display text of any value of a parameter (at most kTextChars characters, text holds
    // kTextChars + 1 bytes); the same text the VST 2.4 host shows for it.
    static void displayText(std::int32_t index, float value, char* text);
    // Its inverse: the value whose text reads `text`, also taking a bare number in the
    // parameter's own terms (decibels where it shows decibels). Nothing for text that means
    // no value of the parameter.
    static std::optional<float> valueFromText(std::int32_t index, const char* text);
    // The switch texts: Mono/Stereo and Off/On, "-oo" below 0, other values as numbers.
    static void channelsText(float value, char* text, std::int32_t maxLen);
    static void onOffText(float value, char* text, std::int32_t maxLen);

    // The state the VST 2.4 effect's tests and the formats' state blobs reach.
    std::array<GravelixProgram, kNumPrograms> programs;
    float processRate = kStartRate;
    PedalChain chain;

private:
    struct Buffers {
        const float* inLeft;
        const float* inRight;
        float* outLeft;
        float* outRight;
    };
    // Each runs frames from i while the flags stay as they were at i and answers where it
    // stopped. Audio thread; no allocation.
    std::int32_t bypassRun(const Buffers& io, std::int32_t i, std::int32_t end, bool stereo);
    std::int32_t monoRun(const Buffers& io, std::int32_t i, std::int32_t end,
                         PedalChain::ChannelState& state);
    std::int32_t stereoRun(const Buffers& io, std::int32_t i, std::int32_t end,
                           PedalChain::ChannelState& left, PedalChain::ChannelState& right);

    void applyDistortion();
    void applyRateDependent();

    // The normalised value of each parameter, by index.
    std::array<float, kParameterCount> values{};
    std::int32_t currentProgram = 0;
    bool effectOn = false;
    bool stereoOn = false;
    // Whether Low Cut / High Cut were set after start-up replaced their pairs; a new
    // sample rate recomputes each pair by whichever rule produced it.
    bool lowCutSet = false;
    bool highCutSet = false;
};

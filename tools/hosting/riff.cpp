#include "riff.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace gravelix::host {

namespace {

// Our own generator: the standard distributions differ between library versions.
struct Noise {
    std::uint32_t state = 0x9E3779B9u;
    float next() { // -1..1
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<float>(state >> 8) * (2.0f / 16777216.0f) - 1.0f;
    }
};

// Karplus-Strong string: a delay line fed back through a two-point average and a gentle
// one-pole low-pass (the string's losses, stronger for high partials, as on a wound string),
// and a first-order all-pass that supplies the fractional part of the period.
class PluckedString {
public:
    void pluck(double frequency, int rate, float amplitude, float brightness, Noise& noise) {
        // The loop's delay: the line, half a sample in the average, the low-pass's phase
        // delay at low frequencies and the all-pass's fraction (kept within 0.1..1.1).
        const double lowPassDelay = kLoopLowPass / (1.0 - kLoopLowPass);
        const double period = rate / frequency;
        length_ = static_cast<std::size_t>(period - 0.5 - lowPassDelay - 0.1);
        const double fraction = period - 0.5 - lowPassDelay - static_cast<double>(length_);
        allpass_ = static_cast<float>((1.0 - fraction) / (1.0 + fraction));
        line_.assign(length_, 0.0f);
        // Noise burst, softened for a darker pick, then a comb for the pick position.
        float smooth = 0.0f;
        for (auto& s : line_) {
            smooth += brightness * (noise.next() - smooth);
            s = smooth;
        }
        const std::size_t pickOffset = length_ / 7 + 1;
        for (std::size_t i = length_; i-- > pickOffset;) {
            line_[i] -= line_[i - pickOffset];
        }
        float mean = 0.0f;
        for (float s : line_) {
            mean += s;
        }
        mean /= static_cast<float>(length_);
        for (auto& s : line_) {
            s = (s - mean) * amplitude;
        }
        pos_ = 0;
        lastDelayed_ = lowPass_ = apIn_ = apOut_ = 0.0f;
        frequency_ = frequency;
        ring(4.0);
    }

    // The loss is applied once per period, so it follows from the wanted decay time (to -60 dB).
    void ring(double seconds) {
        loss_ = static_cast<float>(std::pow(0.001, 1.0 / (frequency_ * seconds)));
    }

    float tick() {
        if (line_.empty()) {
            return 0.0f;
        }
        const float delayed = line_[pos_];
        const float averaged = loss_ * 0.5f * (delayed + lastDelayed_);
        lastDelayed_ = delayed;
        lowPass_ = (1.0f - kLoopLowPass) * averaged + kLoopLowPass * lowPass_;
        const float out = allpass_ * lowPass_ + apIn_ - allpass_ * apOut_;
        apIn_ = lowPass_;
        apOut_ = out;
        line_[pos_] = out;
        pos_ = pos_ + 1 == length_ ? 0 : pos_ + 1;
        return out;
    }

private:
    static constexpr float kLoopLowPass = 0.3f;
    std::vector<float> line_;
    std::size_t length_ = 0, pos_ = 0;
    double frequency_ = 0.0;
    float allpass_ = 0.0f, apIn_ = 0.0f, apOut_ = 0.0f, lastDelayed_ = 0.0f, lowPass_ = 0.0f;
    float loss_ = 0.0f;
};

struct Note {
    int step;                   // eighth notes from the start of the pattern
    int length;                 // in eighth notes
    std::array<int, 3> pitches; // MIDI note numbers, 0 = unused
    bool palmMuted;
};

// Two bars in E at 120 bpm: power chords with palm-muted low E in between.
constexpr Note kPattern[] = {
    {0, 2, {40, 47, 52}, false}, {2, 1, {40, 0, 0}, true},     {3, 1, {40, 0, 0}, true},
    {4, 1, {43, 0, 0}, false},   {5, 1, {40, 0, 0}, true},     {6, 1, {45, 0, 0}, false},
    {7, 1, {46, 0, 0}, false},   {8, 2, {45, 52, 57}, false},  {10, 1, {40, 0, 0}, true},
    {11, 1, {40, 0, 0}, true},   {12, 2, {43, 50, 55}, false}, {14, 1, {43, 0, 0}, false},
    {15, 1, {40, 0, 0}, false},
};
constexpr int kPatternSteps = 16;
constexpr double kStepSeconds = 0.25;

double midiFrequency(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

} // namespace

std::vector<float> makeRiff(double seconds, int sampleRate) {
    if (!(seconds > 0.0 && seconds <= 3600.0) || sampleRate < 8000 || sampleRate > 384000) {
        throw std::invalid_argument("riff length or sample rate out of range");
    }
    const auto frames = static_cast<std::size_t>(std::llround(seconds * sampleRate));
    std::vector<float> out(frames, 0.0f);

    struct Event {
        std::size_t start, stop; // frames
        int pitch;
        bool palmMuted;
    };
    std::vector<Event> events;
    const double stepFrames = kStepSeconds * sampleRate;
    for (int repeat = 0;; ++repeat) {
        const double base = repeat * kPatternSteps * stepFrames;
        if (base >= static_cast<double>(frames)) {
            break;
        }
        for (const Note& note : kPattern) {
            int strum = 0;
            for (int pitch : note.pitches) {
                if (pitch == 0) {
                    continue;
                }
                // A down-strum reaches the higher strings a few milliseconds later.
                const double start = base + note.step * stepFrames + strum++ * 0.006 * sampleRate;
                const double stop =
                    base + (note.step + note.length) * stepFrames - 0.01 * sampleRate;
                events.push_back({static_cast<std::size_t>(start), static_cast<std::size_t>(stop),
                                  pitch, note.palmMuted});
            }
        }
    }

    Noise noise;
    constexpr std::size_t kVoices = 8;
    std::array<PluckedString, kVoices> voices;
    std::array<std::size_t, kVoices> stopAt{};
    std::size_t nextVoice = 0, nextEvent = 0;
    float dcIn = 0.0f, dcOut = 0.0f;
    const float dcPole = 1.0f - 20.0f / static_cast<float>(sampleRate);

    for (std::size_t n = 0; n < frames; ++n) {
        while (nextEvent < events.size() && events[nextEvent].start <= n) {
            const Event& e = events[nextEvent++];
            // Palm mutes lose their top end and some level but are picked harder.
            const float amplitude = (e.palmMuted ? 1.3f : 0.85f) + 0.15f * noise.next();
            voices[nextVoice].pluck(midiFrequency(e.pitch), sampleRate, amplitude,
                                    e.palmMuted ? 0.2f : 0.5f, noise);
            if (e.palmMuted) {
                voices[nextVoice].ring(0.25);
            }
            stopAt[nextVoice] = e.stop;
            nextVoice = (nextVoice + 1) % kVoices;
        }
        float sum = 0.0f;
        for (std::size_t v = 0; v < kVoices; ++v) {
            if (n == stopAt[v]) {
                // The string is touched and dies out quickly instead of clicking off.
                voices[v].ring(0.05);
            }
            sum += voices[v].tick();
        }
        // The strings' averaging leaves no DC, the pick comb a little; remove it anyway.
        dcOut = sum - dcIn + dcPole * dcOut;
        dcIn = sum;
        out[n] = dcOut;
    }

    // Fade the last 50 ms so a cut-off note does not end in a click.
    const std::size_t fade = std::min(frames, static_cast<std::size_t>(0.05 * sampleRate));
    for (std::size_t i = 0; i < fade; ++i) {
        out[frames - 1 - i] *= static_cast<float>(i) / static_cast<float>(fade);
    }

    float peak = 0.0f;
    for (float s : out) {
        peak = std::max(peak, std::fabs(s));
    }
    if (peak > 0.0f) {
        const float gain = 0.5f / peak;
        for (auto& s : out) {
            s *= gain;
        }
    }
    return out;
}

} // namespace gravelix::host

#include "audiobuffers.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace gravelix::validator {
namespace {

constexpr std::uint32_t kGuardBits = 0x7fa5a5a5; // a signalling NaN with an unusual payload

float guardValue() {
    float f;
    std::memcpy(&f, &kGuardBits, sizeof f);
    return f;
}

bool isGuard(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits == kGuardBits;
}

} // namespace

AudioBuffers::AudioBuffers(int numChannels, int frames) : length(frames) {
    storage.resize(static_cast<std::size_t>(numChannels));
    for (auto& ch : storage) {
        ch.assign(static_cast<std::size_t>(frames + 2 * kGuard), guardValue());
        pointers.push_back(ch.data() + kGuard);
    }
    fill(0.0f);
}

void AudioBuffers::fill(float value) {
    for (float* p : pointers) {
        for (int i = 0; i < length; ++i) {
            p[i] = value;
        }
    }
}

void AudioBuffers::copyFrom(const AudioBuffers& source, int frames) {
    for (int c = 0; c < std::min(numChannels(), source.numChannels()); ++c) {
        std::memcpy(channel(c), source.channel(c), sizeof(float) * std::size_t(frames));
    }
}

bool AudioBuffers::guardsIntact() const {
    for (const auto& ch : storage) {
        for (int i = 0; i < kGuard; ++i) {
            if (!isGuard(ch[static_cast<std::size_t>(i)]) ||
                !isGuard(ch[static_cast<std::size_t>(kGuard + length + i)])) {
                return false;
            }
        }
    }
    return true;
}

bool AudioBuffers::sameBits(const AudioBuffers& other) const {
    if (other.numChannels() != numChannels() || other.length != length) {
        return false;
    }
    for (int c = 0; c < numChannels(); ++c) {
        if (std::memcmp(channel(c), other.channel(c), sizeof(float) * std::size_t(length)) != 0) {
            return false;
        }
    }
    return true;
}

void SignalStats::add(const float* samples, int frames) {
    for (int i = 0; i < frames; ++i) {
        const float v = samples[i];
        switch (std::fpclassify(v)) {
        case FP_NAN:
        case FP_INFINITE:
            ++nonFinite;
            continue;
        case FP_SUBNORMAL:
            ++subnormal;
            break;
        default:
            break;
        }
        peak = std::max(peak, std::fabs(v));
        sumSquares += double(v) * double(v);
        ++count;
    }
}

void SignalStats::add(const AudioBuffers& buffers, int frames) {
    for (int c = 0; c < buffers.numChannels(); ++c) {
        add(buffers.channel(c), frames);
    }
}

std::string SignalStats::problem(float bound) const {
    std::ostringstream s;
    if (nonFinite != 0) {
        s << nonFinite << " NaN/Inf sample(s)";
    } else if (subnormal != 0 && judgeSubnormals) {
        s << subnormal << " subnormal sample(s)";
    } else if (peak > bound) {
        s << "peak " << peak << " above " << bound;
    }
    return s.str();
}

SignalGenerator::SignalGenerator(Kind k, std::uint64_t seed, float sampleRate)
    : kind(k), rng(seed), rate(sampleRate) {}

const char* SignalGenerator::name(Kind kind) {
    switch (kind) {
    case Kind::Noise:
        return "noise";
    case Kind::Overdrive:
        return "4x overdriven noise";
    case Kind::DcPositive:
        return "DC +1";
    case Kind::DcNegative:
        return "DC -1";
    case Kind::Square:
        return "square 100 Hz";
    case Kind::Silence:
        return "silence";
    case Kind::Sine:
        return "sine 440 Hz";
    }
    return "?";
}

void SignalGenerator::fill(AudioBuffers& buffers, int frames) {
    std::uniform_real_distribution<float> uni(-1.0f, 1.0f);
    for (int i = 0; i < frames; ++i, ++position) {
        const double t = double(position) / rate;
        for (int c = 0; c < buffers.numChannels(); ++c) {
            float v = 0;
            switch (kind) {
            case Kind::Noise:
                v = uni(rng);
                break;
            case Kind::Overdrive:
                v = 4.0f * uni(rng);
                break;
            case Kind::DcPositive:
                v = 1.0f;
                break;
            case Kind::DcNegative:
                v = -1.0f;
                break;
            case Kind::Square:
                v = std::fmod(t * 100.0, 1.0) < 0.5 ? 1.0f : -1.0f;
                break;
            case Kind::Silence:
                v = 0.0f;
                break;
            case Kind::Sine:
                v = float(std::sin(2.0 * 3.14159265358979 * 440.0 * t + c));
                break;
            }
            buffers.channel(c)[i] = v;
        }
    }
}

std::vector<float> noise(std::size_t frames, std::uint64_t seed, float amplitude) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<float> uni(-amplitude, amplitude);
    std::vector<float> v(frames);
    for (auto& x : v) {
        x = uni(rng);
    }
    return v;
}

} // namespace gravelix::validator

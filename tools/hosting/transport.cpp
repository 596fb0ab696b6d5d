#include "transport.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace gravelix::host {

namespace {

constexpr double kMinTempo = 1.0, kMaxTempo = 999.0;
constexpr int kMaxSignature = 64;

bool powerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

} // namespace

void checkTransport(const TransportSettings& s) {
    if (!(s.tempo >= kMinTempo && s.tempo <= kMaxTempo)) {
        throw std::runtime_error("--tempo must be 1 to 999 beats per minute");
    }
    if (s.numerator < 1 || s.numerator > kMaxSignature || !powerOfTwo(s.denominator) ||
        s.denominator > kMaxSignature) {
        throw std::runtime_error("--time-signature must be N/D with N 1 to 64 and D one of 1, 2, "
                                 "4, 8, 16, 32, 64");
    }
}

void parseTimeSignature(const std::string& text, TransportSettings& settings) {
    const auto slash = text.find('/');
    const auto number = [](const std::string& part) {
        if (part.empty() || part.size() > 3 || part.find_first_not_of("0123456789") != part.npos) {
            return 0;
        }
        return std::atoi(part.c_str());
    };
    TransportSettings s = settings;
    if (slash != std::string::npos) {
        s.numerator = number(text.substr(0, slash));
        s.denominator = number(text.substr(slash + 1));
    }
    if (slash == std::string::npos || s.numerator == 0 || s.denominator == 0) {
        throw std::runtime_error("--time-signature must be N/D, e.g. 4/4 or 6/8, not '" + text +
                                 "'");
    }
    checkTransport(s);
    settings = s;
}

// Called on the audio thread; no allocation.
void fillTimeInfo(VstTimeInfo& info, const TransportSettings& s, double sampleRate,
                  long long position, bool playing, bool changed) {
    info = {};
    info.samplePos = static_cast<double>(position);
    info.sampleRate = sampleRate;
    info.tempo = s.tempo;
    info.flags = kVstTempoValid | kVstTimeSigValid;
    if (sampleRate > 0.0) {
        // One division, so that a position a whole number of beats in lands on that number.
        info.ppqPos = static_cast<double>(position) * s.tempo / (60.0 * sampleRate);
        const double barQuarters = 4.0 * s.numerator / s.denominator;
        info.barStartPos = std::floor(info.ppqPos / barQuarters) * barQuarters;
        info.flags |= kVstPpqPosValid | kVstBarsValid;
    }
    info.timeSigNumerator = s.numerator;
    info.timeSigDenominator = s.denominator;
    info.flags |= (playing ? kVstTransportPlaying : 0) | (changed ? kVstTransportChanged : 0);
}

} // namespace gravelix::host

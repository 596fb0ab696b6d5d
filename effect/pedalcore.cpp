#include "pedalcore.h"

#include <bit>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "coefficients.h"
#include "flushdenormals.h"
#include "valuetotext.h"

namespace {

// The gain a decibel row shows, derived from its value as the coefficients are.
float shownGain(std::int32_t index, float value) {
    return index == kOutput ? outputGainRule(value) : inputGainRule(value);
}

bool sameText(std::int32_t index, float value, const std::string& text) {
    char shown[PedalCore::kTextChars + 1];
    PedalCore::displayText(index, value, shown);
    return text == shown;
}

// Floats in 0..1 in their order, as integers: bisection over them ends on neighbours.
std::uint32_t orderOf(float v) {
    return std::bit_cast<std::uint32_t>(v);
}
float fromOrder(std::uint32_t bits) {
    return std::bit_cast<float>(bits);
}

// The value in 0..1 whose shown decibels come nearest to `db` (the gain rules rise with the
// value), preferring one whose text reads exactly `text`.
float decibelValue(std::int32_t index, float db, const std::string& text) {
    auto shownDb = [index](float v) {
        return static_cast<float>(20.0 * std::log10(shownGain(index, v)));
    };
    std::uint32_t lo = orderOf(0.0f);
    std::uint32_t hi = orderOf(1.0f);
    if (!(db > shownDb(0.0f))) {
        return 0.0f;
    }
    if (!(db < shownDb(1.0f))) {
        return 1.0f;
    }
    while (hi - lo > 1) {
        const std::uint32_t mid = lo + (hi - lo) / 2;
        (shownDb(fromOrder(mid)) < db ? lo : hi) = mid;
    }
    // The shown text truncates toward zero, so the values that read it lie on one side of the
    // number or the other: look a little either way.
    const std::uint32_t from = hi > 64 ? hi - 64 : 0;
    for (std::uint32_t bits = from; bits <= hi + 64 && bits <= orderOf(1.0f); ++bits) {
        if (sameText(index, fromOrder(bits), text)) {
            return fromOrder(bits);
        }
    }
    return fromOrder(hi);
}

std::string trimmed(const char* text) {
    std::string s(text);
    const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
    while (!s.empty() && blank(static_cast<unsigned char>(s.back()))) {
        s.pop_back();
    }
    std::size_t first = 0;
    while (first < s.size() && blank(static_cast<unsigned char>(s[first]))) {
        ++first;
    }
    return s.substr(first);
}

bool equalsIgnoringCase(const std::string& a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) {
        return false;
    }
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// A whole number text, with an optional unit after blanks ("3.5 dB"); nothing otherwise.
std::optional<float> numberIn(const std::string& s, const char* unit) {
    if (s.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    const float v = std::strtof(s.c_str(), &end);
    if (end == s.c_str() || !std::isfinite(v)) {
        return std::nullopt;
    }
    const std::string rest = trimmed(end);
    if (!rest.empty() && !(unit && equalsIgnoringCase(rest, unit))) {
        return std::nullopt;
    }
    return v;
}

} // namespace

PedalCore::PedalCore() {
    for (std::int32_t i = 0; i < kNumPrograms; ++i) {
        programs[static_cast<std::size_t>(i)] = kFactoryPrograms[i];
    }
    values.fill(0.0f);
    values[kEffect] = 1.0f;
    applyProgram(0);
    startUp();
}

void PedalCore::startUp() {
    chain.pickup.coeff.set(pickupCoeffRule(processRate));
    chain.lowCut.pair.set(startUpPair(kStartLowCutCorner, processRate));
    chain.clippers.setCorners(processRate);
    chain.highCut.pair.set(startUpPair(kStartHighCutCorner, processRate));
    lowCutSet = false;
    highCutSet = false;
    chain.reset();
    applyDistortion();
}

void PedalCore::applyDistortion() {
    chain.opamp.set(distortionRule(values[kDistortion], processRate));
}

void PedalCore::applyRateDependent() {
    chain.pickup.coeff.set(pickupCoeffRule(processRate));
    chain.clippers.setCorners(processRate);
    applyDistortion();
    chain.lowCut.pair.set(lowCutSet ? lowCutRule(values[kLowCut], processRate)
                                    : startUpPair(kStartLowCutCorner, processRate));
    chain.highCut.pair.set(highCutSet ? highCutRule(values[kHighCut], processRate)
                                      : startUpPair(kStartHighCutCorner, processRate));
}

bool PedalCore::setSampleRate(float rate) {
    if (!std::isfinite(rate) || !(rate > 0.0f)) {
        return false;
    }
    const std::int32_t before = latencyFrames();
    if (rate < kMinProcessRate) {
        rate = kMinProcessRate;
    } else if (rate > kMaxProcessRate) {
        rate = kMaxProcessRate;
    }
    processRate = rate;
    applyRateDependent();
    return latencyFrames() != before;
}

void PedalCore::set(std::int32_t index, float v) {
    programs[static_cast<std::size_t>(currentProgram)].*parameterInfo(index).field = v;
    values[static_cast<std::size_t>(index)] = v;
    // Every index has its case: the build rejects a switch over the enum that misses one.
    switch (static_cast<ParameterIndex>(index)) {
    case kOutput:
        chain.output.gain.set(outputGainRule(v));
        break;
    case kDistortion:
        applyDistortion();
        break;
    case kInput:
        chain.input.gain.set(inputGainRule(v));
        break;
    case kOpampClipping: {
        const ClipBounds c = opampClippingRule(v);
        chain.clippers.clipLow.set(c.clipLow);
        chain.clippers.clipHigh.set(c.clipHigh);
        break;
    }
    case kDiodeClipping:
        chain.clippers.diodeKnee.set(diodeKneeRule(v));
        break;
    case kHighCut:
        chain.highCut.pair.set(highCutRule(v, processRate));
        highCutSet = true;
        break;
    case kLowCut:
        chain.lowCut.pair.set(lowCutRule(v, processRate));
        lowCutSet = true;
        break;
    case kPickup:
        chain.pickup.on = v > 0.5f;
        break;
    case kStereo:
        stereoOn = v > 0.5f;
        break;
    case kEffect:
        effectOn = v == 1.0f;
        break;
    case kParameterCount:
        break;
    }
}

float PedalCore::answer(std::int32_t index) const {
    const float v = value(index);
    switch (parameterInfo(index).answer) {
    case ParameterAnswer::value:
        return v;
    case ParameterAnswer::aboveHalf:
        return v > 0.5f ? 1.0f : 0.0f;
    case ParameterAnswer::atOne:
        return v == 1.0f ? 1.0f : 0.0f;
    }
    return 0.0f;
}

void PedalCore::selectProgram(std::int32_t program) {
    if (program >= 0 && program < kNumPrograms) {
        currentProgram = program;
    }
}

void PedalCore::applyProgram(std::int32_t program) {
    if (program < 0 || program >= kNumPrograms) {
        return;
    }
    currentProgram = program;
    const GravelixProgram p = programs[static_cast<std::size_t>(program)];
    for (const ParameterInfo& row : kParameterTable) {
        set(row.index, p.*row.field);
    }
}

PedalState PedalCore::state() const {
    PedalState s;
    s.program = currentProgram;
    s.values = values;
    return s;
}

void PedalCore::restore(const PedalState& s) {
    selectProgram(s.program);
    for (const ParameterInfo& row : kParameterTable) {
        set(row.index, s.values[static_cast<std::size_t>(row.index)]);
    }
}

void PedalCore::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                        std::int32_t frames) {
    // Audio thread; real time: no allocation, locks, host calls or transcendental functions.
    if (frames <= 0) {
        return;
    }
    const Buffers io{inLeft, inRight, outLeft, outRight};

    // The states live in locals for the block (see PedalChain::ChannelState).
    PedalChain::ChannelState left = chain.load(kLeft);
    PedalChain::ChannelState right = chain.load(kRight);

    // Flush-to-zero only while the chain runs: the effect-off paths stay bit-exact.
    FlushDenormals flush;
    std::int32_t i = 0;
    while (i < frames) {
        // The flags as they are at sample i choose its run; each run reads them again at
        // every later sample and ends where they change.
        const bool effect = effectOn;
        const bool stereo = stereoOn;
        if (!effect) {
            flush.release();
            i = bypassRun(io, i, frames, stereo);
        } else {
            flush.engage();
            i = stereo ? stereoRun(io, i, frames, left, right) : monoRun(io, i, frames, left);
        }
    }
    chain.store(kLeft, left);
    chain.store(kRight, right);
}

// Both inputs of a frame are read before either output is written (in-place buffers).
std::int32_t PedalCore::bypassRun(const Buffers& io, std::int32_t i, std::int32_t end,
                                  bool stereo) {
    if (stereo) {
        do {
            const float inL = io.inLeft[i];
            const float inR = io.inRight[i];
            io.outLeft[i] = inL;
            io.outRight[i] = inR;
            ++i;
        } while (i < end && !effectOn && stereoOn);
    } else {
        do {
            const float average = (io.inRight[i] + io.inLeft[i]) * 0.5f;
            io.outLeft[i] = average;
            io.outRight[i] = average;
            ++i;
        } while (i < end && !effectOn && !stereoOn);
    }
    return i;
}

std::int32_t PedalCore::monoRun(const Buffers& io, std::int32_t i, std::int32_t end,
                                PedalChain::ChannelState& state) {
    PedalChain::ChannelState s = state;
    do {
        const float inL = io.inLeft[i];
        const float inR = io.inRight[i];
        const float y = chain.mono(inL, inR, s);
        io.outLeft[i] = y;
        io.outRight[i] = y;
        ++i;
    } while (i < end && effectOn && !stereoOn);
    state = s;
    return i;
}

std::int32_t PedalCore::stereoRun(const Buffers& io, std::int32_t i, std::int32_t end,
                                  PedalChain::ChannelState& left, PedalChain::ChannelState& right) {
    // Chosen at compile time: the two-lane chain wherever SSE2 or NEON exists, else the scalar one.
#if GRAVELIX_STEREO_LANES
    PedalChain::Lanes s = PedalChain::toLanes(left, right);
#else
    PedalChain::ChannelState l = left;
    PedalChain::ChannelState r = right;
#endif
    do {
        const float inL = io.inLeft[i];
        const float inR = io.inRight[i];
        float yL = 0.0f;
        float yR = 0.0f;
#if GRAVELIX_STEREO_LANES
        chain.stereo(inL, inR, s, yL, yR);
#else
        chain.stereo(inL, inR, l, r, yL, yR);
#endif
        io.outLeft[i] = yL;
        io.outRight[i] = yR;
        ++i;
    } while (i < end && effectOn && stereoOn);
#if GRAVELIX_STEREO_LANES
    PedalChain::fromLanes(s, left, right);
#else
    left = l;
    right = r;
#endif
    return i;
}

void PedalCore::displayText(std::int32_t index, float v, char* text) {
    if (text == nullptr || !isParameter(index)) {
        return;
    }
    switch (parameterInfo(index).text) {
    case ParameterText::decibels:
        ValueToText::dB2string(shownGain(index, v), text, kTextChars);
        break;
    case ParameterText::number:
        ValueToText::float2string(v, text, kTextChars);
        break;
    case ParameterText::onOff:
        onOffText(v, text, kTextChars);
        break;
    case ParameterText::channels:
        channelsText(v, text, kTextChars);
        break;
    }
}

std::optional<float> PedalCore::valueFromText(std::int32_t index, const char* text) {
    if (text == nullptr || !isParameter(index)) {
        return std::nullopt;
    }
    const std::string s = trimmed(text);
    const ParameterInfo& row = parameterInfo(index);
    switch (row.text) {
    case ParameterText::decibels: {
        if (s == "-oo") {
            return 0.0f;
        }
        const std::optional<float> db = numberIn(s, "dB");
        if (!db) {
            return std::nullopt;
        }
        return decibelValue(index, *db, s);
    }
    case ParameterText::number: {
        std::optional<float> v = numberIn(s, nullptr);
        if (!v) {
            return std::nullopt;
        }
        float x = *v < 0.0f ? 0.0f : (*v > 1.0f ? 1.0f : *v);
        // The text truncates its decimals: a parsed number just below the shown one reads
        // one digit lower, so step up to the first float that reads the same.
        for (int step = 0; step < 16 && x < 1.0f && !sameText(index, x, s); ++step) {
            x = std::nextafter(x, 2.0f);
        }
        return sameText(index, x, s) ? x : (*v < 0.0f ? 0.0f : (*v > 1.0f ? 1.0f : *v));
    }
    case ParameterText::onOff:
        if (equalsIgnoringCase(s, "On")) {
            return 1.0f;
        }
        if (equalsIgnoringCase(s, "Off")) {
            return 0.0f;
        }
        break;
    case ParameterText::channels:
        if (equalsIgnoringCase(s, "Stereo")) {
            return 1.0f;
        }
        if (equalsIgnoringCase(s, "Mono")) {
            return 0.0f;
        }
        break;
    }
    // A switch also takes its value as a number.
    if (const std::optional<float> v = numberIn(s, nullptr); v && *v >= 0.0f && *v <= 1.0f) {
        return *v;
    }
    return std::nullopt;
}

void PedalCore::channelsText(float value, char* text, std::int32_t maxLen) {
    if (value < 0.0f) {
        vst_strncpy(text, "-oo", maxLen);
    } else if (value < 0.5f) {
        vst_strncpy(text, "Mono", maxLen);
    } else if (value <= 1.0f) {
        vst_strncpy(text, "Stereo", maxLen);
    } else {
        ValueToText::float2string(value, text, maxLen);
    }
}

void PedalCore::onOffText(float value, char* text, std::int32_t maxLen) {
    if (value < 0.0f) {
        vst_strncpy(text, "-oo", maxLen);
    } else if (value < 1.0f) {
        vst_strncpy(text, "Off", maxLen);
    } else if (value == 1.0f) {
        vst_strncpy(text, "On", maxLen);
    } else {
        ValueToText::float2string(value, text, maxLen);
    }
}

#include "measurements.h"
#include "fft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace gravelix::analysis {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kToneHz = 1000.0;

double dbOfPower(double ratio) {
    return ratio > 0.0 ? std::max(kFloorDb, 10.0 * std::log10(ratio)) : kFloorDb;
}

double amplitudeOf(double dbfs) {
    return std::pow(10.0, dbfs / 20.0);
}

std::size_t nextPowerOfTwo(double n) {
    std::size_t p = 1;
    while (static_cast<double>(p) < n) {
        p <<= 1;
    }
    return p;
}

// A sine of a whole number of hertz, its phase computed from the exact sample index so that
// a one-second window holds whole periods without drift.
std::vector<double> sine(double hz, double amplitude, std::size_t length, int rate) {
    std::vector<double> x(length);
    for (std::size_t n = 0; n < length; ++n) {
        const double cycles = std::fmod(hz * static_cast<double>(n), static_cast<double>(rate));
        x[n] = amplitude * std::sin(2.0 * kPi * cycles / rate);
    }
    return x;
}

// Exponential sine sweep from f1 to f2 with short raised-cosine fades at both ends.
std::vector<double> expSweep(double f1, double f2, double amplitude, std::size_t length, int rate) {
    const double seconds = static_cast<double>(length) / rate;
    const double rateLog = std::log(f2 / f1);
    const double k = 2.0 * kPi * f1 * seconds / rateLog;
    std::vector<double> x(length);
    const std::size_t fadeIn = static_cast<std::size_t>(rate / 100);
    const std::size_t fadeOut = static_cast<std::size_t>(rate / 200);
    for (std::size_t n = 0; n < length; ++n) {
        const double t = static_cast<double>(n) / rate;
        double g = amplitude;
        if (n < fadeIn) {
            g *= 0.5 - 0.5 * std::cos(kPi * static_cast<double>(n) / fadeIn);
        }
        if (length - n <= fadeOut) {
            g *= 0.5 - 0.5 * std::cos(kPi * static_cast<double>(length - n) / fadeOut);
        }
        x[n] = g * std::sin(k * (std::exp(t * rateLog / seconds) - 1.0));
    }
    return x;
}

std::vector<double> powerSpectrum(RealFft& fft, const std::vector<double>& samples) {
    const auto bins = fft.forward(samples);
    std::vector<double> p(bins.size());
    for (std::size_t k = 0; k < bins.size(); ++k) {
        p[k] = std::norm(bins[k]);
    }
    return p;
}

// The power spectrum of one second of the plug-in's answer to a sine, after a quarter second
// of settling: bins 1 Hz apart, a whole-hertz tone and all its harmonics whole periods in the
// window, so no window function and no leakage.
class SineSpectrum {
public:
    explicit SineSpectrum(PluginDriver& driver)
        : driver(driver), rate(driver.rate()), settle(static_cast<std::size_t>(rate / 4)),
          window(static_cast<std::size_t>(rate)), fft(window) {}
    std::vector<double> of(double hz, double amplitude) {
        const std::vector<double> y = driver.run(sine(hz, amplitude, settle + window, rate));
        return powerSpectrum(fft, std::vector<double>(y.begin() + settle, y.end()));
    }
    std::size_t length() const { return window; }

private:
    PluginDriver& driver;
    int rate;
    std::size_t settle;
    std::size_t window;
    RealFft fft;
};

// The linear impulse response by deconvolving a -40 dBFS exponential sweep (half the length,
// followed by silence for the tail): spectral division, regularised only where the sweep has
// no energy. The products of distortion land before time 0, i.e. at the end of the buffer.
std::vector<double> impulseResponse(PluginDriver& driver) {
    const int rate = driver.rate();
    const std::size_t n = nextPowerOfTwo(2.5 * rate);
    std::vector<double> x = expSweep(10.0, rate / 2.0, amplitudeOf(-40.0), n / 2, rate);
    x.resize(n, 0.0);
    const std::vector<double> y = driver.run(x);
    RealFft fft(n);
    const auto xs = fft.forward(x);
    const auto ys = fft.forward(y);
    double peak = 0.0;
    for (const auto& v : xs) {
        peak = std::max(peak, std::norm(v));
    }
    const double eps = 1e-12 * peak;
    std::vector<std::complex<double>> h(xs.size());
    for (std::size_t k = 0; k < xs.size(); ++k) {
        h[k] = ys[k] * std::conj(xs[k]) / (std::norm(xs[k]) + eps);
    }
    return fft.inverse(h);
}

std::vector<double> responseFrequencies(int rate) {
    const double top = std::min(20000.0, 0.95 * rate / 2.0);
    // Hundred points a decade on a grid through 1 kHz, with both ends added.
    std::vector<double> f{20.0};
    for (int j = -169;; ++j) {
        const double hz = kToneHz * std::pow(10.0, j / 100.0);
        if (hz >= top * 0.9999) {
            break;
        }
        f.push_back(j == 0 ? kToneHz : hz);
    }
    f.push_back(top);
    return f;
}

} // namespace

ResponseResult measureResponse(PluginDriver& driver) {
    const int rate = driver.rate();
    const std::vector<double> h = impulseResponse(driver);
    const std::ptrdiff_t n = static_cast<std::ptrdiff_t>(h.size());
    // Window: raised-cosine rise over a short pre-ringing span, flat, raised-cosine fall over
    // the second quarter; the distortion products in the second half stay outside.
    const std::ptrdiff_t pre = 256, flat = n / 4, end = n / 2;
    std::vector<double> taps;
    taps.reserve(static_cast<std::size_t>(end + pre));
    for (std::ptrdiff_t i = -pre; i < end; ++i) {
        double w = 1.0;
        if (i < 0) {
            w = 0.5 - 0.5 * std::cos(kPi * static_cast<double>(i + pre) / pre);
        } else if (i >= flat) {
            w = 0.5 + 0.5 * std::cos(kPi * static_cast<double>(i - flat) / (end - flat));
        }
        taps.push_back(w * h[static_cast<std::size_t>((i + n) % n)]);
    }
    // Trailing silence costs time and adds nothing.
    std::size_t used = taps.size();
    while (used > 1 && taps[used - 1] == 0.0) {
        --used;
    }

    ResponseResult r;
    for (double hz : responseFrequencies(rate)) {
        const double w = 2.0 * kPi * hz / rate;
        std::complex<double> sum = 0.0;
        std::complex<double> z = std::polar(1.0, w * static_cast<double>(pre));
        const std::complex<double> step = std::polar(1.0, -w);
        for (std::size_t i = 0; i < used; ++i) {
            if (i % 4096 == 0) {
                // Fresh from the angle now and then, so rounding cannot accumulate.
                z = std::polar(1.0, -w * (static_cast<double>(i) - static_cast<double>(pre)));
            }
            sum += taps[i] * z;
            z *= step;
        }
        const double magnitude = std::abs(sum);
        ResponsePoint p;
        p.hz = hz;
        p.gainDb = magnitude > 0.0 ? std::max(kFloorDb, 20.0 * std::log10(magnitude)) : kFloorDb;
        p.phaseDeg = magnitude > 0.0 ? std::arg(sum) * 180.0 / kPi : 0.0;
        if (hz == kToneHz) {
            r.gainAt1kHzDb = p.gainDb;
        }
        r.points.push_back(p);
    }
    return r;
}

HarmonicsResult measureHarmonics(PluginDriver& driver) {
    SineSpectrum spectrum(driver);
    const std::size_t length = spectrum.length();
    const std::size_t fundamental = static_cast<std::size_t>(kToneHz);
    HarmonicsResult r;
    for (int level = -40; level <= 0; level += 2) {
        const std::vector<double> p = spectrum.of(kToneHz, amplitudeOf(level));
        HarmonicsRow row;
        row.inputDbfs = level;
        const double p1 = p[fundamental];
        double sum = 0.0;
        for (std::size_t h = 2; h * fundamental < p.size() && h * fundamental * 2 < length; ++h) {
            sum += p[h * fundamental];
        }
        for (std::size_t h = 2; h <= 9; ++h) {
            const bool below = h * fundamental * 2 < length;
            row.harmonicDb[h - 2] = !below || p1 <= 0.0 ? std::numeric_limits<double>::quiet_NaN()
                                                        : dbOfPower(p[h * fundamental] / p1);
        }
        row.thdPercent =
            p1 > 0.0 ? 100.0 * std::sqrt(sum / p1) : std::numeric_limits<double>::quiet_NaN();
        if (level == -6) {
            r.thdAtMinus6Percent = row.thdPercent;
            r.spectrumDb.resize(p.size());
            for (std::size_t k = 0; k < p.size(); ++k) {
                r.spectrumDb[k] = static_cast<float>(p1 > 0.0 ? dbOfPower(p[k] / p1) : kFloorDb);
            }
        }
        r.rows.push_back(row);
    }
    return r;
}

LevelsResult measureLevels(PluginDriver& driver) {
    const int rate = driver.rate();
    // A tenth of a second to settle and a tenth to measure: a hundred whole periods.
    const std::size_t settle = static_cast<std::size_t>(rate / 10);
    const std::size_t length = static_cast<std::size_t>(rate / 10);
    LevelsResult r;
    for (int level = -60; level <= 6; ++level) {
        const std::vector<double> x = sine(kToneHz, amplitudeOf(level), settle + length, rate);
        const std::vector<double> y = driver.run(x);
        double sum = 0.0;
        for (std::size_t i = settle; i < y.size(); ++i) {
            sum += y[i] * y[i];
        }
        const double rms = std::sqrt(sum / static_cast<double>(length));
        r.curve.push_back({static_cast<double>(level), dbOfPower(2.0 * rms * rms)});
        if (level == -6) {
            const auto period = static_cast<std::size_t>(std::ceil(rate / kToneHz));
            for (std::size_t i = 0; i <= period && settle + i < y.size(); ++i) {
                r.scopeInput.push_back(x[settle + i]);
                r.scopeOutput.push_back(y[settle + i]);
            }
        }
    }
    return r;
}

AliasingResult measureAliasing(PluginDriver& driver, const std::vector<double>& levelsDbfs) {
    const int rate = driver.rate();
    SineSpectrum spectrum(driver);
    AliasingResult r;
    r.levelsDbfs = levelsDbfs;
    for (double level : levelsDbfs) {
        for (double tone : {1000.0, 2500.0, 5000.0, 7500.0, 10000.0, 15000.0}) {
            if (tone * 2.0 >= rate) {
                continue;
            }
            const std::vector<double> p =
                spectrum.of(tone, level == -6.0 ? 0.5 : amplitudeOf(level));
            const auto step = static_cast<std::size_t>(tone);
            const double p1 = p[step];
            AliasRow row;
            row.toneHz = tone;
            row.levelDbfs = level;
            double worst = 0.0;
            for (std::size_t k = 1; k < p.size(); ++k) {
                if (k % step != 0 && p[k] > worst) {
                    worst = p[k];
                    row.aliasHz = static_cast<double>(k);
                }
            }
            row.worstAliasDb = p1 > 0.0 ? dbOfPower(worst / p1) : kFloorDb;
            r.worstAliasDb =
                r.rows.empty() ? row.worstAliasDb : std::max(r.worstAliasDb, row.worstAliasDb);
            r.rows.push_back(row);
        }
    }

    // The spectrogram: two seconds of a -6 dBFS log sweep, Blackman-Harris frames (sidelobes
    // below -92 dB) overlapping by seven eighths.
    Spectrogram& s = r.sweep;
    s.lowHz = 20.0;
    s.highHz = std::min(20000.0, 0.95 * rate / 2.0);
    const std::vector<double> y =
        driver.run(expSweep(s.lowHz, s.highHz, 0.5, static_cast<std::size_t>(2 * rate), rate));
    const std::size_t frame = rate > 50000 ? 4096 : 2048;
    const std::size_t hop = frame / 8;
    std::vector<double> window(frame);
    for (std::size_t i = 0; i < frame; ++i) {
        const double a = 2.0 * kPi * static_cast<double>(i) / static_cast<double>(frame);
        window[i] =
            0.35875 - 0.48829 * std::cos(a) + 0.14128 * std::cos(2 * a) - 0.01168 * std::cos(3 * a);
    }
    RealFft stft(frame);
    s.bins = static_cast<int>(frame / 2 + 1);
    s.binHz = static_cast<double>(rate) / static_cast<double>(frame);
    s.hopSeconds = static_cast<double>(hop) / rate;
    std::vector<double> cell(frame);
    double loudest = 0.0;
    std::vector<double> power;
    for (std::size_t start = 0; start + frame <= y.size(); start += hop) {
        for (std::size_t i = 0; i < frame; ++i) {
            cell[i] = y[start + i] * window[i];
        }
        const auto p = powerSpectrum(stft, cell);
        for (double v : p) {
            loudest = std::max(loudest, v);
        }
        power.insert(power.end(), p.begin(), p.end());
        ++s.frames;
    }
    s.db.resize(power.size());
    for (std::size_t i = 0; i < power.size(); ++i) {
        s.db[i] = static_cast<float>(loudest > 0.0 ? dbOfPower(power[i] / loudest) : kFloorDb);
    }
    return r;
}

LatencyResult measureLatency(PluginDriver& driver) {
    const std::vector<double> h = impulseResponse(driver);
    // The peak, as a cross-correlation finds it. Its onset would be no better: the sweep's
    // band ends at Nyquist, which rings a few percent on both sides of every peak.
    std::size_t at = 0;
    for (std::size_t i = 1; i < h.size(); ++i) {
        if (std::abs(h[i]) > std::abs(h[at])) {
            at = i;
        }
    }
    const auto n = static_cast<std::ptrdiff_t>(h.size());
    // The response is circular: a peak in the second half lies before time 0.
    const auto index = static_cast<std::ptrdiff_t>(at);
    const std::ptrdiff_t lag = index < n / 2 ? index : index - n;
    LatencyResult r;
    r.reportedFrames = driver.reportedDelay();
    r.measuredFrames = static_cast<int>(r.reportedFrames + lag);
    return r;
}

} // namespace gravelix::analysis

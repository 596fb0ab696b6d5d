// The cross build has no FFTW: an iterative radix-2 transform, with Bluestein's chirp
// convolution for lengths that are not powers of two (the analyses use whole seconds).
#include "fft.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace gravelix::analysis {

namespace {

using Complex = std::complex<double>;

// exp(-2 pi i k / n) for k < n / 2, from the angle each time: no accumulated rounding.
std::vector<Complex> twiddlesFor(std::size_t n) {
    std::vector<Complex> w(n / 2);
    for (std::size_t k = 0; k < w.size(); ++k) {
        w[k] = std::polar(1.0, -2.0 * std::numbers::pi * static_cast<double>(k) /
                                   static_cast<double>(n));
    }
    return w;
}

// In place, unscaled; `twiddles` from twiddlesFor(a.size()).
void radix2(std::vector<Complex>& a, bool inverse, const std::vector<Complex>& twiddles) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(a[i], a[j]);
        }
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const std::size_t stride = n / len;
        for (std::size_t i = 0; i < n; i += len) {
            for (std::size_t k = 0; k < len / 2; ++k) {
                const Complex w = inverse ? std::conj(twiddles[k * stride]) : twiddles[k * stride];
                const Complex u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

bool powerOfTwo(std::size_t n) {
    return (n & (n - 1)) == 0;
}

} // namespace

struct RealFft::Plans {
    std::size_t padded = 0;
    std::vector<Complex> twiddles;      // for the power-of-two length transformed
    std::vector<Complex> chirp;         // exp(-i pi k^2 / n)
    std::vector<Complex> chirpSpectrum; // transform of the conjugate chirp, wrapped

    std::vector<Complex> transform(std::vector<Complex> x, bool inverse) const {
        const std::size_t n = x.size();
        if (powerOfTwo(n)) {
            radix2(x, inverse, twiddles);
            return x;
        }
        std::vector<Complex> a(padded);
        for (std::size_t k = 0; k < n; ++k) {
            a[k] = x[k] * (inverse ? std::conj(chirp[k]) : chirp[k]);
        }
        radix2(a, false, twiddles);
        for (std::size_t k = 0; k < padded; ++k) {
            a[k] *= inverse ? std::conj(chirpSpectrum[(padded - k) % padded]) : chirpSpectrum[k];
        }
        radix2(a, true, twiddles);
        std::vector<Complex> out(n);
        for (std::size_t k = 0; k < n; ++k) {
            out[k] =
                a[k] / static_cast<double>(padded) * (inverse ? std::conj(chirp[k]) : chirp[k]);
        }
        return out;
    }
};

RealFft::RealFft(std::size_t size) : size_(size), plans_(std::make_unique<Plans>()) {
    if (size < 2) {
        throw std::invalid_argument("an FFT needs at least two samples");
    }
    if (powerOfTwo(size)) {
        plans_->twiddles = twiddlesFor(size);
    } else {
        std::size_t m = 1;
        while (m < 2 * size - 1) {
            m <<= 1;
        }
        plans_->padded = m;
        plans_->twiddles = twiddlesFor(m);
        plans_->chirp.resize(size);
        for (std::size_t k = 0; k < size; ++k) {
            // k^2 mod 2n keeps the angle small and exact.
            const auto k2 = static_cast<double>((k * k) % (2 * size));
            plans_->chirp[k] = std::polar(1.0, -std::numbers::pi * k2 / static_cast<double>(size));
        }
        std::vector<Complex> b(m);
        b[0] = std::conj(plans_->chirp[0]);
        for (std::size_t k = 1; k < size; ++k) {
            b[k] = b[m - k] = std::conj(plans_->chirp[k]);
        }
        radix2(b, false, plans_->twiddles);
        plans_->chirpSpectrum = std::move(b);
    }
}

RealFft::~RealFft() = default;

std::vector<std::complex<double>> RealFft::forward(const std::vector<double>& samples) {
    std::vector<Complex> x(size_);
    for (std::size_t i = 0; i < size_ && i < samples.size(); ++i) {
        x[i] = samples[i];
    }
    x = plans_->transform(std::move(x), false);
    x.resize(size_ / 2 + 1);
    return x;
}

std::vector<double> RealFft::inverse(const std::vector<std::complex<double>>& bins) {
    std::vector<Complex> x(size_);
    for (std::size_t k = 0; k < size_ / 2 + 1 && k < bins.size(); ++k) {
        x[k] = bins[k];
        if (k > 0 && k < size_ - k) {
            x[size_ - k] = std::conj(bins[k]);
        }
    }
    x = plans_->transform(std::move(x), true);
    std::vector<double> out(size_);
    for (std::size_t i = 0; i < size_; ++i) {
        out[i] = x[i].real() / static_cast<double>(size_);
    }
    return out;
}

} // namespace gravelix::analysis

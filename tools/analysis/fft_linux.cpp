// FFTW's double-precision real transforms; plans are estimated, not measured, because each
// size is used only a few dozen times per run.
#include "fft.h"

#include <fftw3.h>

#include <algorithm>
#include <stdexcept>

namespace gravelix::analysis {

struct RealFft::Plans {
    double* real = nullptr;
    fftw_complex* spectrum = nullptr;
    fftw_plan forward = nullptr;
    fftw_plan inverse = nullptr;
    ~Plans() {
        if (forward) {
            fftw_destroy_plan(forward);
        }
        if (inverse) {
            fftw_destroy_plan(inverse);
        }
        fftw_free(real);
        fftw_free(spectrum);
    }
};

RealFft::RealFft(std::size_t size) : size_(size), plans_(std::make_unique<Plans>()) {
    if (size < 2) {
        throw std::invalid_argument("an FFT needs at least two samples");
    }
    const int n = static_cast<int>(size);
    plans_->real = fftw_alloc_real(size);
    plans_->spectrum = fftw_alloc_complex(size / 2 + 1);
    if (!plans_->real || !plans_->spectrum) {
        throw std::bad_alloc();
    }
    plans_->forward = fftw_plan_dft_r2c_1d(n, plans_->real, plans_->spectrum, FFTW_ESTIMATE);
    plans_->inverse = fftw_plan_dft_c2r_1d(n, plans_->spectrum, plans_->real, FFTW_ESTIMATE);
    if (!plans_->forward || !plans_->inverse) {
        throw std::runtime_error("FFTW could not plan a transform of this size");
    }
}

RealFft::~RealFft() = default;

std::vector<std::complex<double>> RealFft::forward(const std::vector<double>& samples) {
    std::fill(plans_->real, plans_->real + size_, 0.0);
    std::copy_n(samples.begin(), std::min(samples.size(), size_), plans_->real);
    fftw_execute(plans_->forward);
    std::vector<std::complex<double>> out(size_ / 2 + 1);
    for (std::size_t k = 0; k < out.size(); ++k) {
        out[k] = {plans_->spectrum[k][0], plans_->spectrum[k][1]};
    }
    return out;
}

std::vector<double> RealFft::inverse(const std::vector<std::complex<double>>& bins) {
    // c2r overwrites its input, so the bins are copied in each time.
    for (std::size_t k = 0; k < size_ / 2 + 1; ++k) {
        const std::complex<double> b = k < bins.size() ? bins[k] : 0.0;
        plans_->spectrum[k][0] = b.real();
        plans_->spectrum[k][1] = b.imag();
    }
    fftw_execute(plans_->inverse);
    std::vector<double> out(plans_->real, plans_->real + size_);
    const double scale = 1.0 / static_cast<double>(size_);
    for (double& v : out) {
        v *= scale;
    }
    return out;
}

} // namespace gravelix::analysis

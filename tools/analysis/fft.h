// A real-input discrete Fourier transform of any length, behind one small interface so each
// platform can bring the library it has.
#pragma once

#include <complex>
#include <cstddef>
#include <memory>
#include <vector>

namespace gravelix::analysis {

class RealFft {
public:
    explicit RealFft(std::size_t size);
    ~RealFft();
    RealFft(const RealFft&) = delete;
    RealFft& operator=(const RealFft&) = delete;

    std::size_t size() const { return size_; }
    // size() samples in, size() / 2 + 1 bins out, unscaled.
    std::vector<std::complex<double>> forward(const std::vector<double>& samples);
    // The inverse of forward, scaled by 1 / size() so that inverse(forward(x)) == x.
    std::vector<double> inverse(const std::vector<std::complex<double>>& bins);

private:
    struct Plans;
    std::size_t size_;
    std::unique_ptr<Plans> plans_;
};

} // namespace gravelix::analysis

// PNG plots of the measurements, one curve per swept value. Where the platform has no drawing
// library the functions do nothing and plotsAvailable() answers false.
#pragma once

#include "measurements.h"

#include <string>
#include <vector>

namespace gravelix::analysis {

template <class Result> struct Curve {
    std::string label; // the swept value, e.g. "distortion=0.5"; empty without a sweep
    const Result* result = nullptr;
};

// `title` names the plug-in, its settings and the rate. Throw std::runtime_error naming the
// file when it cannot be written.
bool plotsAvailable();
void plotResponse(const std::string& path, const std::string& title,
                  const std::vector<Curve<ResponseResult>>& curves);
void plotHarmonics(const std::string& path, const std::string& title, int rate,
                   const std::vector<Curve<HarmonicsResult>>& curves);
void plotLevels(const std::string& path, const std::string& title, int rate,
                const std::vector<Curve<LevelsResult>>& curves);
void plotAliasing(const std::string& path, const std::string& title,
                  const std::vector<Curve<AliasingResult>>& curves);

} // namespace gravelix::analysis

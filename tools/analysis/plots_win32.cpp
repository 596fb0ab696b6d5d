// The Windows build writes the tables and the summary only: cairo is not part of the cross
// build.
#include "plots.h"

namespace gravelix::analysis {

bool plotsAvailable() {
    return false;
}
void plotResponse(const std::string&, const std::string&,
                  const std::vector<Curve<ResponseResult>>&) {}
void plotHarmonics(const std::string&, const std::string&, int,
                   const std::vector<Curve<HarmonicsResult>>&) {}
void plotLevels(const std::string&, const std::string&, int,
                const std::vector<Curve<LevelsResult>>&) {}
void plotAliasing(const std::string&, const std::string&,
                  const std::vector<Curve<AliasingResult>>&) {}

} // namespace gravelix::analysis

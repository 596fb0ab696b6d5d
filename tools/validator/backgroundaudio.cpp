#include "backgroundaudio.h"

#include "session.h"

namespace gravelix::validator {

BackgroundAudio::BackgroundAudio(Session& s, const CheckContext& ctx, int framesPerRun,
                                 bool stopAtProblem)
    : thread([this, &s, &ctx, framesPerRun, stopAtProblem] {
          SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed);
          while (!stop.load() && !(stopAtProblem && !problem.empty())) {
              const SignalStats st = s.run(gen, framesPerRun, 256);
              if (auto p = st.problem(ctx.opts.outputBound); !p.empty() && problem.empty()) {
                  problem = p;
              }
          }
      }) {}

const std::string& BackgroundAudio::finish() {
    stop = true;
    if (thread.joinable()) {
        thread.join();
    }
    return problem;
}

} // namespace gravelix::validator

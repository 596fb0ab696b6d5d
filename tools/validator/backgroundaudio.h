// Noise through a started session on a thread of its own, while the calling thread does
// what a host's other threads would.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace gravelix::validator {

struct CheckContext;
class Session;

class BackgroundAudio {
public:
    // Runs blocks of 256 frames, framesPerRun at a time between stop checks; with
    // stopAtProblem it ends by itself at the first bad output.
    BackgroundAudio(Session& s, const CheckContext& ctx, int framesPerRun = 256 * 4,
                    bool stopAtProblem = false);
    ~BackgroundAudio() { finish(); }

    // Stops and joins the thread; the first output problem seen, empty when none.
    const std::string& finish();

private:
    std::atomic<bool> stop{false};
    std::string problem; // written by the thread only until it is joined
    std::thread thread;  // last, so it starts after the fields it uses exist
};

} // namespace gravelix::validator

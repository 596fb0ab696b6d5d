// A host's three threads at once: audio, parameter changes, and the user interface with the
// editor opened and closed while the others run. Built for ThreadSanitizer runs too.
#include "backgroundaudio.h"
#include "check.h"
#include "editorhost.h"
#include "session.h"

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

namespace gravelix::validator {
namespace {

Outcome together(CheckContext& ctx, Session& s) {
    const bool editor = ctx.display && (s.effect()->flags & effFlagsHasEditor) != 0;
    s.start(44100, 256);
    std::atomic<bool> stop{false};
    BackgroundAudio audio(s, ctx);
    std::thread parameters([&] {
        std::mt19937_64 rng(ctx.seed);
        std::uniform_real_distribution<float> uni(0.0f, 1.0f);
        while (!stop.load()) {
            if (s.numPrograms() > 0 && rng() % 16 == 0) {
                s.dispatch(effSetProgram, 0, VstIntPtr(rng() % std::uint64_t(s.numPrograms())));
            } else if (s.numParams() > 0) {
                s.host().setParameter(int(rng() % std::uint64_t(s.numParams())), uni(rng));
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    // This thread is the user interface: texts, idle, and the editor open for the first
    // third, closed for the second (idle continues), open again for the last.
    const auto phase = std::chrono::milliseconds(250 * ctx.scaled(1));
    std::unique_ptr<HostWindow> window;
    if (editor) {
        window = windowFor(ctx, s);
    }
    for (int part = 0; part < 3; ++part) {
        if (window && part != 1) {
            s.dispatch(effEditOpen, 0, 0, window->parentHandle());
        }
        const auto end = std::chrono::steady_clock::now() + phase;
        while (std::chrono::steady_clock::now() < end) {
            s.dispatch(effEditIdle);
            for (int i = 0; i < s.numParams(); ++i) {
                char text[64] = {};
                s.dispatch(effGetParamDisplay, i, 0, text);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (window && part != 1) {
            s.dispatch(effEditClose);
        }
    }
    stop = true;
    const std::string audioProblem = audio.finish();
    parameters.join();
    if (!audioProblem.empty()) {
        return fail("output: " + audioProblem);
    }
    return pass(editor ? "with the editor opened and closed midway" : "without an editor window");
}

} // namespace

void addThreadChecks(std::vector<Check>& checks) {
    checks.push_back({"threads", "audio-parameters-editor-together", 2, withSession<together>});
}

} // namespace gravelix::validator

// One plug-in instance as the checks drive it: loading, stream set-up and a process call
// that watches the real-time rules and the caller's floating-point state.
#pragma once

#include "audiobuffers.h"
#include "check.h"
#include "rtprobe.h"
#include "tools/hosting/pluginhost.h"

#include <memory>
#include <string>
#include <vector>

namespace gravelix::validator {

class Session {
public:
    // Loads and opens the plug-in; throws what the loader throws.
    explicit Session(const CheckContext& ctx);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    host::PluginHost& host() { return *plugin; }
    AEffect* effect() { return plugin->effect(); }
    int numInputs() { return effect()->numInputs; }
    int numOutputs() { return effect()->numOutputs; }
    int numParams() { return effect()->numParams; }
    int numPrograms() { return effect()->numPrograms; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    // Sample rate, block size, then resume.
    void start(float rate, int blockSize);
    void stop();

    // One processReplacing call.
    void process(float** inputs, float** outputs, int frames);
    void process(AudioBuffers& in, AudioBuffers& out, int frames) {
        process(in.channels(), out.channels(), frames);
    }
    // Feeds frames of generated signal through in blocks of blockSize, collecting stats.
    SignalStats run(SignalGenerator& gen, int frames, int blockSize);

    // Times the caller's floating-point control state differed after a process call from
    // before it (restored each time, so later calls start from the caller's state).
    int fpStateChanges = 0;
    unsigned fpBefore = 0, fpAfter = 0;
    // Real-time rule breaks seen inside process calls of this session.
    RtCounts rtBreaks;

    // Default outputs for new AudioBuffers of this plug-in.
    AudioBuffers inputs(int frames) { return AudioBuffers(numInputs(), frames); }
    AudioBuffers outputs(int frames) { return AudioBuffers(numOutputs(), frames); }

private:
    std::unique_ptr<host::PluginHost> plugin;
};

// The control bits of the calling thread's floating-point state (x86-64: MXCSR without its
// sticky exception flags, and the x87 control word); 0 elsewhere.
unsigned readFpControl();
void writeFpControl(unsigned state);
// Flush-to-zero and denormals-are-zero bits of that state, for the checks that set them.
unsigned fpFlushBits();

// Opens a session, turning load failures into a failed outcome.
std::unique_ptr<Session> openSession(const CheckContext& ctx, Outcome& failure);

// A check that drives the one instance opened for it; withSession<F> is the check as
// registered, failing when the plug-in does not load.
using SessionCheck = Outcome (*)(CheckContext&, Session&);
template <SessionCheck F> Outcome withSession(CheckContext& ctx) {
    Outcome failure;
    const std::unique_ptr<Session> s = openSession(ctx, failure);
    return s ? F(ctx, *s) : failure;
}

} // namespace gravelix::validator

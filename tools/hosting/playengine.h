// The plug-in side of live playing, shared by the audio back-ends: the channel layout, the
// hand-over between the audio thread and format changes, and the load measurement.
#pragma once

#include "pluginhost.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace gravelix::host {

// What the audio thread did since the previous look.
struct PlayLoad {
    double average = 0.0; // time spent in the plug-in per period time, 0..1
    double peak = 0.0;    // the worst single period
    double server = 0.0;  // the audio server's own DSP load where it tells it, 0..1
    long long xruns = 0;  // late or lost periods since start
    double seconds = 0.0; // audio time processed since start
};

class PlayEngine {
public:
    // The most channels of either direction a plug-in may claim.
    static constexpr int kMaxChannels = 256;

    // Throws std::runtime_error for a plug-in whose channel counts cannot be played.
    explicit PlayEngine(const PluginHost& plugin);
    PlayEngine(const PlayEngine&) = delete;
    PlayEngine& operator=(const PlayEngine&) = delete;

    // Tells the plug-in the stream format and that its process calls are real-time; before
    // resume(). Called on a thread other than the audio thread.
    void configure(int sampleRate, int blockSize);
    // Resumes the plug-in, waiting for the audio thread to be between periods.
    void resume();
    // Suspends the plug-in; called once the audio thread has stopped. Idempotent.
    void suspend();
    // A format change while playing: suspend, tell, resume; 0 keeps the current value.
    // Called on a thread other than the audio thread.
    void reconfigure(int sampleRate, int blockSize);

    // One period: two input and two output channels of `frames` each. The plug-in's first
    // two inputs read `in`, its first output goes to out[0], its second (or its first again
    // when it has one) to out[1]. Silence while the format is changing or `frames` exceeds
    // the announced block size. Called on the audio thread; no allocation, lock or system call.
    void process(float* const in[2], float* const out[2], int frames);

    // Called on the audio thread when a period was late or lost.
    void countXrun() { xruns_.fetch_add(1, std::memory_order_relaxed); }

    int sampleRate() const { return sampleRate_.load(); }
    int blockSize() const { return capacity_.load(); }
    // Called on one thread, not the audio thread.
    PlayLoad takeLoad();

private:
    // Who may touch the plug-in's stream state: the audio thread takes Idle -> Processing
    // for one period, a format change takes Idle -> Reconfiguring and waits for it.
    enum State : int { Idle, Processing, Reconfiguring };
    void acquire(State state);
    void allocateScratch(int frames);

    const PluginHost& plugin_;
    bool resumed_ = false;

    // Channels beyond the two given, and the pointer tables handed to the plug-in; sized
    // for capacity_ frames, replaced only while Reconfiguring.
    std::vector<float> scratch_;
    std::vector<float*> inputs_, outputs_;
    int numInputs_ = 0, numOutputs_ = 0;
    bool replacing_ = false;
    std::atomic<int> sampleRate_{0};
    std::atomic<int> capacity_{0}; // frames the scratch buffers hold

    std::atomic<int> state_{Idle};
    std::atomic<std::uint64_t> busyNanos_{0};
    std::atomic<std::uint64_t> frames_{0};
    std::atomic<float> peak_{0.0f};
    std::atomic<long long> xruns_{0};
    std::uint64_t framesTaken_ = 0;
    std::uint64_t totalFrames_ = 0;
};

} // namespace gravelix::host

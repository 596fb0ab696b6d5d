// A JACK client that plays live audio through a loaded plug-in: two inputs, two outputs.
#pragma once

#include "pluginhost.h"

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace gravelix::host {

// No JACK server answered; the message says how to start one.
class NoServerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class JackPlayer {
public:
    // What the audio thread did since the previous call.
    struct Load {
        double average = 0.0; // time spent in the plug-in per period time, 0..1
        double peak = 0.0;    // the worst single period
        double server = 0.0;  // the whole server's DSP load as JACK reports it, 0..1
        long long xruns = 0;  // since start
        double seconds = 0.0; // audio time processed since start
    };

    // Opens the client (never starting a server), registers its ports and tells the plug-in
    // the server's sample rate and block size, and that its process calls are real-time.
    // serverName empty: the default server. Throws NoServerError or std::runtime_error.
    // Called on the main thread, as are all members below.
    JackPlayer(const PluginHost& plugin, const std::string& serverName);
    ~JackPlayer();
    JackPlayer(const JackPlayer&) = delete;
    JackPlayer& operator=(const JackPlayer&) = delete;

    // Resumes the plug-in and starts processing.
    void start();
    // Stops processing (deactivate), closes the client and suspends the plug-in; idempotent.
    void stop();

    // Connects the first physical capture port to both inputs and the outputs to the first
    // two physical playback ports. Returns one line saying what was connected.
    std::string connectPhysicalPorts();

    std::string clientName() const;
    int sampleRate() const { return sampleRate_.load(); }
    int blockSize() const { return capacity_.load(); }
    Load takeLoad();

    // Set once the server has shut the client down; the reason is JACK's own words.
    bool serverGone() const { return serverGone_.load(std::memory_order_acquire); }
    std::string shutdownReason() const;

private:
    static int processThunk(std::uint32_t frames, void* self);
    static int bufferSizeThunk(std::uint32_t frames, void* self);
    static int sampleRateThunk(std::uint32_t rate, void* self);
    static int xrunThunk(void* self);
    static void shutdownThunk(jack_status_t code, const char* reason, void* self);

    int process(std::uint32_t frames);
    // 0 keeps the current value.
    void reconfigure(int sampleRate, int blockSize);
    void allocateScratch(int frames);

    // Who may touch the plug-in's stream state: the audio thread takes Idle -> Processing
    // for one period, a format change takes Idle -> Reconfiguring and waits for it.
    enum State : int { Idle, Processing, Reconfiguring };
    void acquire(State state);

    const PluginHost& plugin_;
    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {};
    jack_port_t* out_[2] = {};
    bool active_ = false;
    bool resumed_ = false;

    // Channels beyond the two ports, and the pointer tables handed to the plug-in; sized
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

    std::atomic<bool> serverGone_{false};
    char reason_[256] = {};
};

} // namespace gravelix::host

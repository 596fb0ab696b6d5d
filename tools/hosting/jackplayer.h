// A JACK client that plays live audio through a loaded plug-in: two inputs, two outputs.
#pragma once

#include "playengine.h"
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
    using Load = PlayLoad;

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
    int sampleRate() const { return engine_.sampleRate(); }
    int blockSize() const { return engine_.blockSize(); }
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

    PlayEngine engine_;
    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {};
    jack_port_t* out_[2] = {};
    bool active_ = false;

    std::atomic<bool> serverGone_{false};
    char reason_[256] = {};
};

} // namespace gravelix::host

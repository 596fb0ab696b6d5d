#include "jackplayer.h"

#include <jack/jack.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <thread>

namespace gravelix::host {

namespace {

constexpr int kMaxChannels = 256;
const char* const kPortNames[2][2] = {{"in_1", "in_2"}, {"out_1", "out_2"}};

// libjack reports every failed attempt on stderr; our own messages say what matters.
void quiet(const char*) {}

std::string clientNameFor(const PluginHost& plugin) {
    std::string name = plugin.effectName();
    if (name.empty()) {
        name = "gravelix-host";
    }
    // ':' separates client and port in a port's full name.
    std::replace(name.begin(), name.end(), ':', '-');
    const auto limit = static_cast<std::size_t>(jack_client_name_size() - 1);
    if (name.size() > limit) {
        name.resize(limit);
    }
    return name;
}

std::string noServerMessage(const std::string& serverName) {
    const std::string which = serverName.empty()
                                  ? "no JACK server is running"
                                  : "no JACK server named '" + serverName + "' is running";
    return which + "; start one (e.g. `jackd -d alsa`) or, on a PipeWire desktop, run "
                   "`pw-jack gravelix-host play ...`";
}

std::uint64_t nowNanos() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(t.tv_nsec);
}

} // namespace

JackPlayer::JackPlayer(const PluginHost& plugin, const std::string& serverName) : plugin_(plugin) {
    const AEffect* effect = plugin.effect();
    if (effect->numInputs < 0 || effect->numOutputs < 1 || effect->numInputs > kMaxChannels ||
        effect->numOutputs > kMaxChannels) {
        throw std::runtime_error(
            "the plug-in claims " + std::to_string(effect->numInputs) + " inputs and " +
            std::to_string(effect->numOutputs) + " outputs; 0 to " + std::to_string(kMaxChannels) +
            " inputs and 1 to " + std::to_string(kMaxChannels) + " outputs can be played");
    }
    numInputs_ = effect->numInputs;
    numOutputs_ = effect->numOutputs;
    replacing_ = (effect->flags & effFlagsCanReplacing) && effect->processReplacing;

    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    jack_status_t status{};
    const auto options =
        static_cast<jack_options_t>(JackNoStartServer | (serverName.empty() ? 0 : JackServerName));
    client_ = jack_client_open(clientNameFor(plugin).c_str(), options, &status,
                               serverName.empty() ? nullptr : serverName.c_str());
    if (!client_) {
        if (status & JackServerFailed) {
            throw NoServerError(noServerMessage(serverName));
        }
        char hex[16];
        std::snprintf(hex, sizeof hex, "%x", static_cast<unsigned>(status));
        throw std::runtime_error(std::string("the JACK server refused a new client (status 0x") +
                                 hex + ")");
    }
    try {
        for (int dir = 0; dir < 2; ++dir) {
            for (int c = 0; c < 2; ++c) {
                jack_port_t*& port = dir == 0 ? in_[c] : out_[c];
                port = jack_port_register(client_, kPortNames[dir][c], JACK_DEFAULT_AUDIO_TYPE,
                                          dir == 0 ? JackPortIsInput : JackPortIsOutput, 0);
                if (!port) {
                    throw std::runtime_error(std::string("could not register the JACK port ") +
                                             kPortNames[dir][c]);
                }
            }
        }
        const int rate = static_cast<int>(jack_get_sample_rate(client_));
        const int block = static_cast<int>(jack_get_buffer_size(client_));
        allocateScratch(block);
        plugin_.state().setProcessLevel(kVstProcessLevelRealtime);
        plugin_.setSampleRate(static_cast<float>(rate));
        plugin_.setBlockSize(block);
        sampleRate_.store(rate);
        capacity_.store(block);
        // Some servers report the current format through these at once; it is known by now.
        jack_set_process_callback(client_, processThunk, this);
        jack_set_buffer_size_callback(client_, bufferSizeThunk, this);
        jack_set_sample_rate_callback(client_, sampleRateThunk, this);
        jack_set_xrun_callback(client_, xrunThunk, this);
        jack_on_info_shutdown(client_, shutdownThunk, this);
    } catch (...) {
        jack_client_close(client_);
        client_ = nullptr;
        throw;
    }
}

JackPlayer::~JackPlayer() {
    stop();
}

void JackPlayer::start() {
    // A format change may already be on its way from the server.
    acquire(Reconfiguring);
    plugin_.resume();
    resumed_ = true;
    state_.store(Idle, std::memory_order_release);
    if (jack_activate(client_) != 0) {
        throw std::runtime_error("the JACK server would not start the client");
    }
    active_ = true;
}

void JackPlayer::stop() {
    if (client_) {
        // After a shutdown the server is gone: there is nothing left to deactivate.
        if (active_ && !serverGone()) {
            jack_deactivate(client_);
        }
        active_ = false;
        jack_client_close(client_);
        client_ = nullptr;
    }
    if (resumed_) {
        plugin_.suspend();
        resumed_ = false;
    }
}

std::string JackPlayer::connectPhysicalPorts() {
    std::string said;
    const auto connectAll = [&](unsigned long flags, bool capture) {
        const char** ports =
            jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE, JackPortIsPhysical | flags);
        std::string line;
        if (!ports || !ports[0]) {
            line = capture ? "no physical capture port, inputs left open"
                           : "no physical playback port, outputs left open";
        } else if (capture) {
            // One guitar on the first input feeds both sides of the effect.
            for (int c = 0; c < 2; ++c) {
                jack_connect(client_, ports[0], jack_port_name(in_[c]));
            }
            line = std::string(ports[0]) + " -> in_1, in_2";
        } else {
            for (int c = 0; c < 2 && ports[c]; ++c) {
                jack_connect(client_, jack_port_name(out_[c]), ports[c]);
                line += std::string(c ? ", " : "") + kPortNames[1][c] + " -> " + ports[c];
            }
        }
        jack_free(ports);
        return line;
    };
    said = connectAll(JackPortIsOutput, true);
    said += "; " + connectAll(JackPortIsInput, false);
    return said;
}

std::string JackPlayer::clientName() const {
    return client_ ? jack_get_client_name(client_) : "";
}

JackPlayer::Load JackPlayer::takeLoad() {
    Load load;
    const std::uint64_t busy = busyNanos_.exchange(0, std::memory_order_relaxed);
    const std::uint64_t frames = frames_.load(std::memory_order_relaxed);
    const std::uint64_t newFrames = frames - framesTaken_;
    framesTaken_ = frames;
    totalFrames_ += newFrames;
    const int rate = sampleRate_.load(std::memory_order_relaxed);
    if (newFrames > 0 && rate > 0) {
        load.average = static_cast<double>(busy) * rate / (1e9 * static_cast<double>(newFrames));
    }
    load.peak = peak_.exchange(0.0f, std::memory_order_relaxed);
    if (client_ && !serverGone()) {
        load.server = jack_cpu_load(client_) / 100.0;
    }
    load.xruns = xruns_.load(std::memory_order_relaxed);
    load.seconds = rate > 0 ? static_cast<double>(totalFrames_) / rate : 0.0;
    return load;
}

std::string JackPlayer::shutdownReason() const {
    return serverGone() ? std::string(reason_) : std::string();
}

void JackPlayer::allocateScratch(int frames) {
    const int extraIn = std::max(0, numInputs_ - 2);
    const int extraOut = std::max(0, numOutputs_ - 1);
    scratch_.assign(static_cast<std::size_t>(extraIn + extraOut) * frames, 0.0f);
    inputs_.assign(std::max(numInputs_, 1), nullptr);
    outputs_.assign(numOutputs_, nullptr);
    float* next = scratch_.data();
    for (int c = 2; c < numInputs_; ++c, next += frames) {
        inputs_[c] = next;
    }
    // Output 2 and up get scratch; output 2 goes to its port only when it exists.
    for (int c = 1; c < numOutputs_; ++c, next += frames) {
        outputs_[c] = next;
    }
}

// Called on JACK's audio thread; no allocation, locks, I/O or calls into the server.
int JackPlayer::process(std::uint32_t frames) {
    float* in[2];
    float* out[2];
    for (int c = 0; c < 2; ++c) {
        in[c] = static_cast<float*>(jack_port_get_buffer(in_[c], frames));
        out[c] = static_cast<float*>(jack_port_get_buffer(out_[c], frames));
    }
    int expected = Idle;
    const bool mine =
        state_.compare_exchange_strong(expected, Processing, std::memory_order_acquire);
    const int rate = sampleRate_.load(std::memory_order_relaxed);
    if (!mine || static_cast<int>(frames) > capacity_.load(std::memory_order_relaxed)) {
        // The format is changing under us: silence rather than a plug-in in mid-change.
        if (mine) {
            state_.store(Idle, std::memory_order_release);
        }
        for (float* o : out) {
            std::memset(o, 0, sizeof(float) * frames);
        }
        return 0;
    }
    const std::uint64_t begin = nowNanos();
    for (int c = 0; c < std::min(numInputs_, 2); ++c) {
        inputs_[c] = in[c];
    }
    // Extra inputs stay silent even if the plug-in scribbled on them last time.
    for (int c = 2; c < numInputs_; ++c) {
        std::memset(inputs_[c], 0, sizeof(float) * frames);
    }
    outputs_[0] = out[0];
    if (numOutputs_ >= 2) {
        outputs_[1] = out[1];
    }
    if (!replacing_) {
        for (int c = 0; c < numOutputs_; ++c) {
            std::memset(outputs_[c], 0, sizeof(float) * frames);
        }
    }
    plugin_.process(inputs_.data(), outputs_.data(), static_cast<VstInt32>(frames));
    if (numOutputs_ == 1) {
        std::memcpy(out[1], out[0], sizeof(float) * frames);
    }
    const std::uint64_t busy = nowNanos() - begin;
    state_.store(Idle, std::memory_order_release);

    busyNanos_.fetch_add(busy, std::memory_order_relaxed);
    frames_.fetch_add(frames, std::memory_order_relaxed);
    const float load =
        static_cast<float>(static_cast<double>(busy) * rate / (1e9 * static_cast<double>(frames)));
    float peak = peak_.load(std::memory_order_relaxed);
    while (load > peak && !peak_.compare_exchange_weak(peak, load, std::memory_order_relaxed)) {
    }
    return 0;
}

// Called on JACK's notification thread, never the audio thread.
void JackPlayer::reconfigure(int sampleRate, int blockSize) {
    if (sampleRate <= 0) {
        sampleRate = sampleRate_.load();
    }
    if (blockSize <= 0) {
        blockSize = capacity_.load();
    }
    if (sampleRate == sampleRate_.load() && blockSize == capacity_.load()) {
        return;
    }
    acquire(Reconfiguring);
    if (resumed_) {
        plugin_.suspend();
    }
    if (sampleRate != sampleRate_.load()) {
        plugin_.setSampleRate(static_cast<float>(sampleRate));
        sampleRate_.store(sampleRate);
    }
    if (blockSize != capacity_.load()) {
        plugin_.setBlockSize(blockSize);
        allocateScratch(blockSize);
        capacity_.store(blockSize);
    }
    if (resumed_) {
        plugin_.resume();
    }
    state_.store(Idle, std::memory_order_release);
}

// Waits (off the audio thread) until the audio thread is between periods, then holds it off.
void JackPlayer::acquire(State state) {
    int expected = Idle;
    while (!state_.compare_exchange_weak(expected, state, std::memory_order_acquire)) {
        expected = Idle;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

int JackPlayer::processThunk(std::uint32_t frames, void* self) {
    return static_cast<JackPlayer*>(self)->process(frames);
}

int JackPlayer::bufferSizeThunk(std::uint32_t frames, void* self) {
    static_cast<JackPlayer*>(self)->reconfigure(0, static_cast<int>(frames));
    return 0;
}

int JackPlayer::sampleRateThunk(std::uint32_t rate, void* self) {
    static_cast<JackPlayer*>(self)->reconfigure(static_cast<int>(rate), 0);
    return 0;
}

int JackPlayer::xrunThunk(void* self) {
    static_cast<JackPlayer*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

// Runs on a JACK thread with signal-handler rules: copy the reason, raise the flag.
void JackPlayer::shutdownThunk(jack_status_t, const char* reason, void* self) {
    auto* player = static_cast<JackPlayer*>(self);
    std::size_t i = 0;
    for (; reason && reason[i] && i + 1 < sizeof player->reason_; ++i) {
        player->reason_[i] = reason[i];
    }
    player->reason_[i] = '\0';
    player->serverGone_.store(true, std::memory_order_release);
}

} // namespace gravelix::host

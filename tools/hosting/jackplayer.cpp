#include "jackplayer.h"

#include <jack/jack.h>

#include <algorithm>
#include <cstdio>

namespace gravelix::host {

namespace {

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

} // namespace

JackPlayer::JackPlayer(const PluginHost& plugin, const std::string& serverName) : engine_(plugin) {
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
        engine_.configure(rate, block);
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
    engine_.resume();
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
    engine_.suspend();
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
    Load load = engine_.takeLoad();
    if (client_ && !serverGone()) {
        load.server = jack_cpu_load(client_) / 100.0;
    }
    return load;
}

std::string JackPlayer::shutdownReason() const {
    return serverGone() ? std::string(reason_) : std::string();
}

// Called on JACK's audio thread; no allocation, locks, I/O or calls into the server.
int JackPlayer::process(std::uint32_t frames) {
    float* in[2];
    float* out[2];
    for (int c = 0; c < 2; ++c) {
        in[c] = static_cast<float*>(jack_port_get_buffer(in_[c], frames));
        out[c] = static_cast<float*>(jack_port_get_buffer(out_[c], frames));
    }
    engine_.process(in, out, static_cast<int>(frames));
    return 0;
}

int JackPlayer::processThunk(std::uint32_t frames, void* self) {
    return static_cast<JackPlayer*>(self)->process(frames);
}

int JackPlayer::bufferSizeThunk(std::uint32_t frames, void* self) {
    // Called on JACK's notification thread, never the audio thread.
    static_cast<JackPlayer*>(self)->engine_.reconfigure(0, static_cast<int>(frames));
    return 0;
}

int JackPlayer::sampleRateThunk(std::uint32_t rate, void* self) {
    static_cast<JackPlayer*>(self)->engine_.reconfigure(static_cast<int>(rate), 0);
    return 0;
}

int JackPlayer::xrunThunk(void* self) {
    static_cast<JackPlayer*>(self)->engine_.countXrun();
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

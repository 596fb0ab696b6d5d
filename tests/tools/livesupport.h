// A private JACK server, a child process and a recording JACK client for the live tests.
#pragma once

#include <jack/jack.h>

#include <atomic>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace livetest {

// Generous bounds: a loaded machine makes everything slow, but nothing may hang.
constexpr int kDeadlineSeconds = 60;

// A process started with its stdout and stderr going to files; killed if still running
// when the object dies.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::string& outPath,
          const std::string& errPath);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool running();
    void signal(int sig);
    // Exit status, or -1 when it did not exit within the time (or died by a signal).
    int wait(int seconds);

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

// `jackd -n NAME -r -S -d dummy`: synchronous and without real-time scheduling, so a slow
// machine makes audio late but never loses it. Stops the server and removes its /dev/shm
// files when it dies; stop the clients first.
class PrivateServer {
public:
    explicit PrivateServer(int periodFrames = 256, int sampleRate = 48000);
    ~PrivateServer();
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;

    const std::string& name() const { return name_; }
    bool ready() const { return ready_; }
    // SIGTERM; true when the server exited on it in time.
    bool stop();
    // The /dev/shm entries that carry this server's name.
    std::vector<std::string> shmFiles() const;

private:
    std::string name_, dir_;
    Child* child_ = nullptr;
    bool ready_ = false;
};

// Plays a stereo signal into its outputs from the first period in which all four of its
// ports are connected, and records its inputs from that same period on.
class TestClient {
public:
    TestClient(const std::string& server, std::vector<float> left, std::vector<float> right,
               std::size_t recordFrames);
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool ok() const { return client_ != nullptr; }
    jack_client_t* client() const { return client_; }
    // Waits until this client's process callback has run, so it is part of the graph.
    bool waitUntilRunning();
    // Feeds `other`'s in_1/in_2 and records its out_1/out_2, retrying until `other` is active
    // or `keepTrying` says it never will be.
    bool connect(const std::string& other, const std::function<bool()>& keepTrying);
    // Frames played since the start; the recording is complete at recordFrames.
    std::size_t position() const { return position_.load(std::memory_order_acquire); }
    bool waitForPosition(std::size_t frames);
    // Where the period size first changed, or -1.
    long long blockChangeAt() const { return blockChangeAt_.load(std::memory_order_acquire); }
    void close();

    const std::vector<float>& recordedLeft() const { return recLeft_; }
    const std::vector<float>& recordedRight() const { return recRight_; }

private:
    static int processThunk(jack_nframes_t frames, void* self);
    int process(jack_nframes_t frames);

    jack_client_t* client_ = nullptr;
    jack_port_t* out_[2] = {};
    jack_port_t* in_[2] = {};
    std::vector<float> left_, right_, recLeft_, recRight_;
    bool started_ = false;
    jack_nframes_t firstPeriod_ = 0;
    std::atomic<std::size_t> position_{0};
    std::atomic<bool> running_{false};
    std::atomic<long long> blockChangeAt_{-1};
};

} // namespace livetest

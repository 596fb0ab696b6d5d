#include "livesupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace livetest {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadline(int seconds) {
    return Clock::now() + std::chrono::seconds(seconds);
}

void pause() {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void quiet(const char*) {}

std::string uniqueServerName() {
    static int counter = 0;
    return "gxtest-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

jack_client_t* openClient(const std::string& name, const std::string& server) {
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    const auto options =
        static_cast<jack_options_t>(JackNoStartServer | JackServerName | JackUseExactName);
    return jack_client_open(name.c_str(), options, nullptr, server.c_str());
}

} // namespace

Child::Child(const std::vector<std::string>& argv, const std::string& outPath,
             const std::string& errPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
}

Child::~Child() {
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool Child::running() {
    if (pid_ <= 0) {
        return false;
    }
    int raw = 0;
    const pid_t got = waitpid(pid_, &raw, WNOHANG);
    if (got == 0) {
        return true;
    }
    status_ = got == pid_ && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    pid_ = -1;
    return false;
}

void Child::signal(int sig) {
    if (running()) {
        kill(pid_, sig);
    }
}

int Child::wait(int seconds) {
    const auto end = deadline(seconds);
    while (running()) {
        if (Clock::now() > end) {
            return -1;
        }
        pause();
    }
    return status_;
}

PrivateServer::PrivateServer(int periodFrames, int sampleRate) : name_(uniqueServerName()) {
    // Clients must find this server or none: never one started on their behalf.
    setenv("JACK_NO_START_SERVER", "1", 1);
    std::string pattern = (std::filesystem::temp_directory_path() / "gxjack-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    // -t: a client late by seconds on a loaded machine is still waited for.
    child_ = new Child({"jackd", "-n", name_, "-r", "-S", "-t", "10000", "-d", "dummy", "-r",
                        std::to_string(sampleRate), "-p", std::to_string(periodFrames)},
                       dir_ + "/jackd.out", dir_ + "/jackd.err");
    const auto end = deadline(kDeadlineSeconds);
    while (child_->running() && Clock::now() < end) {
        if (jack_client_t* probe = openClient("gxtest-probe", name_)) {
            jack_client_close(probe);
            ready_ = true;
            return;
        }
        pause();
    }
}

PrivateServer::~PrivateServer() {
    stop();
    delete child_;
    // What a server or client killed mid-way leaves behind; a clean stop leaves nothing.
    std::error_code ec;
    for (const auto& file : shmFiles()) {
        std::filesystem::remove(file, ec);
    }
    std::filesystem::remove_all(dir_, ec);
}

bool PrivateServer::stop() {
    if (!child_->running()) {
        return false;
    }
    child_->signal(SIGTERM);
    if (child_->wait(kDeadlineSeconds) == 0) {
        return true;
    }
    child_->signal(SIGKILL);
    child_->wait(kDeadlineSeconds);
    return false;
}

std::vector<std::string> PrivateServer::shmFiles() const {
    // jack_NAME_0_0 (the socket), jack_sem.UID_NAME_CLIENT (semaphores), ...
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
        const std::string file = entry.path().filename().string();
        if (file.find("_" + name_ + "_") != std::string::npos) {
            files.push_back(entry.path().string());
        }
    }
    return files;
}

TestClient::TestClient(const std::string& server, std::vector<float> left, std::vector<float> right,
                       std::size_t recordFrames)
    : left_(std::move(left)), right_(std::move(right)), recLeft_(recordFrames, 0.0f),
      recRight_(recordFrames, 0.0f) {
    client_ = openClient("gxtest-client", server);
    if (!client_) {
        return;
    }
    const char* names[2][2] = {{"out_1", "out_2"}, {"in_1", "in_2"}};
    for (int c = 0; c < 2; ++c) {
        out_[c] =
            jack_port_register(client_, names[0][c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        in_[c] =
            jack_port_register(client_, names[1][c], JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    }
    jack_set_process_callback(client_, processThunk, this);
    if (!out_[0] || !out_[1] || !in_[0] || !in_[1] || jack_activate(client_) != 0) {
        close();
    }
}

TestClient::~TestClient() {
    close();
}

void TestClient::close() {
    if (client_) {
        jack_deactivate(client_);
        jack_client_close(client_);
        client_ = nullptr;
    }
}

bool TestClient::waitUntilRunning() {
    const auto end = deadline(kDeadlineSeconds);
    while (!running_.load(std::memory_order_acquire)) {
        if (Clock::now() > end) {
            return false;
        }
        pause();
    }
    return true;
}

bool TestClient::connect(const std::string& other, const std::function<bool()>& keepTrying) {
    const auto end = deadline(kDeadlineSeconds);
    // Feeding it first makes the way back the feedback connection: this client runs first
    // in every period and hears the other's output one period later.
    for (int c = 0; c < 2; ++c) {
        const std::string theirs = other + ":in_" + std::to_string(c + 1);
        while (jack_connect(client_, jack_port_name(out_[c]), theirs.c_str()) != 0) {
            if (Clock::now() > end || !keepTrying()) {
                return false;
            }
            pause();
        }
    }
    for (int c = 0; c < 2; ++c) {
        const std::string theirs = other + ":out_" + std::to_string(c + 1);
        if (jack_connect(client_, theirs.c_str(), jack_port_name(in_[c])) != 0) {
            return false;
        }
    }
    return true;
}

bool TestClient::waitForPosition(std::size_t frames) {
    const auto end = deadline(kDeadlineSeconds);
    while (position() < frames) {
        if (Clock::now() > end) {
            return false;
        }
        pause();
    }
    return true;
}

int TestClient::processThunk(jack_nframes_t frames, void* self) {
    return static_cast<TestClient*>(self)->process(frames);
}

// Called on the audio thread.
int TestClient::process(jack_nframes_t frames) {
    float* out[2];
    const float* in[2];
    for (int c = 0; c < 2; ++c) {
        out[c] = static_cast<float*>(jack_port_get_buffer(out_[c], frames));
        in[c] = static_cast<const float*>(jack_port_get_buffer(in_[c], frames));
    }
    running_.store(true, std::memory_order_release);
    if (!started_) {
        for (int c = 0; c < 2; ++c) {
            if (jack_port_connected(out_[c]) <= 0 || jack_port_connected(in_[c]) <= 0) {
                std::fill(out[0], out[0] + frames, 0.0f);
                std::fill(out[1], out[1] + frames, 0.0f);
                return 0;
            }
        }
        started_ = true;
        firstPeriod_ = frames;
    }
    const std::size_t pos = position_.load(std::memory_order_relaxed);
    if (frames != firstPeriod_ && blockChangeAt_.load(std::memory_order_relaxed) < 0) {
        blockChangeAt_.store(static_cast<long long>(pos), std::memory_order_release);
    }
    for (jack_nframes_t i = 0; i < frames; ++i) {
        const std::size_t k = pos + i;
        out[0][i] = k < left_.size() ? left_[k] : 0.0f;
        out[1][i] = k < right_.size() ? right_[k] : 0.0f;
        if (k < recLeft_.size()) {
            recLeft_[k] = in[0][i];
            recRight_[k] = in[1][i];
        }
    }
    position_.store(pos + frames, std::memory_order_release);
    return 0;
}

} // namespace livetest

// Ends the process with a message naming the analysis under way when the plug-in hangs past a
// time limit or crashes; files already written are complete and stay.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace gravelix::analysis {

class Watchdog {
public:
    // `where` ends the messages, e.g. "the files written so far stay in out/".
    Watchdog(double timeoutSeconds, std::string where);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Arms the time limit for one analysis; `name` must outlive the matching end().
    void begin(const std::string& name);
    void end();

private:
    void watch();
    std::string current();

    double timeoutSeconds_;
    std::string where_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool armed_ = false, stopping_ = false;
    std::string current_;
    std::chrono::steady_clock::time_point deadline_;
    std::thread thread_;
};

// Platform part: a crash (fault, abort) prints `message` (prepared beforehand, so the handler
// only writes it) and ends the process with status 1. An empty message removes the hook.
void setCrashMessage(const std::string& message);

} // namespace gravelix::analysis

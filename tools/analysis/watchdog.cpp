#include "watchdog.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace gravelix::analysis {

Watchdog::Watchdog(double timeoutSeconds, std::string where)
    : timeoutSeconds_(timeoutSeconds), where_(std::move(where)) {
    thread_ = std::thread([this] { watch(); });
}

Watchdog::~Watchdog() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    setCrashMessage({});
}

void Watchdog::begin(const std::string& name) {
    setCrashMessage("gravelix-host: analyze: the plug-in crashed during '" + name + "'; " + where_ +
                    "\n");
    {
        std::lock_guard lock(mutex_);
        current_ = name;
        armed_ = true;
        deadline_ = std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(timeoutSeconds_));
    }
    changed_.notify_all();
}

void Watchdog::end() {
    setCrashMessage("gravelix-host: analyze: crashed after '" + current() +
                    "' (not in the plug-in); " + where_ + "\n");
    {
        std::lock_guard lock(mutex_);
        armed_ = false;
    }
    changed_.notify_all();
}

std::string Watchdog::current() {
    std::lock_guard lock(mutex_);
    return current_;
}

void Watchdog::watch() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (!armed_) {
            changed_.wait(lock);
            continue;
        }
        if (changed_.wait_until(lock, deadline_) == std::cv_status::timeout && armed_ &&
            std::chrono::steady_clock::now() >= deadline_) {
            std::ostringstream s;
            s << "gravelix-host: analyze: '" << current_ << "' did not finish within "
              << timeoutSeconds_ << " s: the plug-in hangs; " << where_ << "\n";
            std::fputs(s.str().c_str(), stderr);
            std::fflush(nullptr);
            // The plug-in's thread cannot be stopped; only ending the process frees it.
            std::_Exit(1);
        }
    }
}

} // namespace gravelix::analysis

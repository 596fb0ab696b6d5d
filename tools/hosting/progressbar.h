// A one-line progress bar with the time left, for work long enough to wonder about.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>

namespace gravelix::host {

class ProgressBar {
public:
    using Clock = std::chrono::steady_clock;
    // Work that ends within this time never shows a bar.
    static constexpr std::chrono::milliseconds kQuietTime{1000};

    // Draws on `out` only when `enabled` (the caller's say, e.g. whether `out` is a terminal)
    // and only once the work has run kQuietTime; `label` must outlive the bar; `now` is
    // replaceable for tests.
    ProgressBar(std::FILE* out, bool enabled, const char* label, long long total,
                std::function<Clock::time_point()> now = Clock::now);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // `done` of the total units are finished; the final call completes the line.
    void update(long long done);

private:
    void draw(long long done, Clock::duration elapsed);

    std::FILE* out_;
    bool enabled_;
    const char* label_;
    long long total_;
    std::function<Clock::time_point()> now_;
    Clock::time_point start_;
    Clock::time_point lastDraw_{};
    bool drawn_ = false;
    bool finished_ = false;
};

} // namespace gravelix::host

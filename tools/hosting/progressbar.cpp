#include "progressbar.h"

#include <algorithm>
#include <string>

namespace gravelix::host {

namespace {

constexpr std::chrono::milliseconds kRedrawInterval{100};

std::string minutesAndSeconds(double seconds) {
    const long long s = static_cast<long long>(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    return text;
}

} // namespace

ProgressBar::ProgressBar(std::FILE* out, bool enabled, const char* label, long long total,
                         std::function<Clock::time_point()> now)
    : out_(out), enabled_(enabled && total > 0), label_(label), total_(total), now_(std::move(now)),
      start_(now_()) {}

ProgressBar::~ProgressBar() {
    // Cut short (an error): whatever is printed next starts on a line of its own.
    if (drawn_ && !finished_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
}

void ProgressBar::update(long long done) {
    if (!enabled_ || finished_) {
        return;
    }
    const Clock::time_point t = now_();
    const bool last = done >= total_;
    if (!drawn_ && (last || t - start_ < kQuietTime)) {
        return;
    }
    if (!last && t - lastDraw_ < kRedrawInterval) {
        return;
    }
    lastDraw_ = t;
    drawn_ = true;
    draw(std::min(done, total_), t - start_);
    if (last) {
        std::fputc('\n', out_);
        finished_ = true;
    }
    std::fflush(out_);
}

void ProgressBar::draw(long long done, Clock::duration elapsed) {
    constexpr int width = 40;
    const int percent = static_cast<int>(done * 100 / total_);
    const int filled = percent * width / 100;
    const double seconds = std::chrono::duration<double>(elapsed).count();
    std::string status;
    if (done == total_) {
        status = "took " + minutesAndSeconds(seconds);
    } else if (done > 0) {
        // The rate so far holds for the rest: the work is uniform.
        status = minutesAndSeconds(seconds * static_cast<double>(total_ - done) /
                                   static_cast<double>(done)) +
                 " left";
    }
    // Trailing spaces wipe out a longer status of the previous draw.
    std::fprintf(out_, "\r%s [%.*s%*s] %3d%%  %-12s", label_, filled,
                 "########################################", width - filled, "", percent,
                 status.c_str());
}

} // namespace gravelix::host

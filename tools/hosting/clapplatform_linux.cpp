#include "clapplatform.h"

#include "clapextensions.h"

#include <poll.h>
#include <vector>

namespace gravelix::host {

const char* clapWindowApi() {
    return CLAP_WINDOW_API_X11;
}

clap_window_t clapParentWindow(void* parent) {
    clap_window_t window{};
    window.api = CLAP_WINDOW_API_X11;
    window.x11 = static_cast<clap_xwnd>(reinterpret_cast<std::uintptr_t>(parent));
    return window;
}

bool clapHasFdSupport() {
    return true;
}

bool clapReadyFds(const int* fds, const std::uint32_t* watched, std::uint32_t* ready,
                  std::size_t count) {
    std::vector<pollfd> polled(count);
    for (std::size_t i = 0; i < count; ++i) {
        polled[i].fd = fds[i];
        polled[i].events = static_cast<short>(((watched[i] & CLAP_POSIX_FD_READ) ? POLLIN : 0) |
                                              ((watched[i] & CLAP_POSIX_FD_WRITE) ? POLLOUT : 0));
    }
    if (count == 0 || poll(polled.data(), polled.size(), 0) <= 0) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const short r = polled[i].revents;
        const std::uint32_t read = CLAP_POSIX_FD_READ, write = CLAP_POSIX_FD_WRITE,
                            error = CLAP_POSIX_FD_ERROR;
        ready[i] = ((r & POLLIN) ? read : 0u) | ((r & POLLOUT) ? write : 0u) |
                   ((r & (POLLERR | POLLHUP | POLLNVAL)) ? error : 0u);
    }
    return true;
}

} // namespace gravelix::host

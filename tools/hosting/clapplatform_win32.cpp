#include "clapplatform.h"

namespace gravelix::host {

const char* clapWindowApi() {
    return CLAP_WINDOW_API_WIN32;
}

clap_window_t clapParentWindow(void* parent) {
    clap_window_t window{};
    window.api = CLAP_WINDOW_API_WIN32;
    window.win32 = parent;
    return window;
}

bool clapHasFdSupport() {
    return false;
}

bool clapReadyFds(const int*, const std::uint32_t*, std::uint32_t*, std::size_t) {
    return false;
}

} // namespace gravelix::host

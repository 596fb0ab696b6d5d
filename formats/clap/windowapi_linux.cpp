#include "windowapi.h"

#include <cstdint>

const char* const kClapWindowApi = CLAP_WINDOW_API_X11;

void* clapWindowHandle(const clap_window_t& window) {
    // The editor takes an X window id in a pointer, as VST 2.4 hosts pass it.
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window.x11));
}

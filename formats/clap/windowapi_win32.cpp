#include "windowapi.h"

const char* const kClapWindowApi = CLAP_WINDOW_API_WIN32;

void* clapWindowHandle(const clap_window_t& window) {
    return window.win32;
}

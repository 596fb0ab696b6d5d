// The one window system a CLAP editor embeds into on this platform, and its window handle as
// the editor takes it. Each platform's windowapi_*.cpp defines them.
#pragma once

#include <clap/ext/gui.h>

extern const char* const kClapWindowApi;
// Null when the window record carries no handle.
void* clapWindowHandle(const clap_window_t& window);

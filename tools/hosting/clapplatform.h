// What the CLAP bridge does differently per platform: the window API its editors embed into and
// watching file descriptors (posix-fd-support exists only where poll does).
#pragma once

#include <clap/ext/gui.h>

#include <cstddef>
#include <cstdint>

namespace gravelix::host {

// CLAP_WINDOW_API_X11 or CLAP_WINDOW_API_WIN32.
const char* clapWindowApi();
// The parent as the host's editor window hands it over (an X window id in the pointer, or an
// HWND), as CLAP's window record.
clap_window_t clapParentWindow(void* parent);
// Whether the host offers posix-fd-support here.
bool clapHasFdSupport();
// For each of `count` descriptors with the CLAP_POSIX_FD_* flags it is watched for, the flags
// that hold now, without waiting; false when nothing is ready.
bool clapReadyFds(const int* fds, const std::uint32_t* watched, std::uint32_t* ready,
                  std::size_t count);

} // namespace gravelix::host

// The window class every editor window of the process shares, counted by its users.
#pragma once

#include <windows.h>

namespace Toolkit::Win32Platform {

// Registered with the first user and unregistered after the last, so a host that unloads the
// library leaves no class behind that points into it. The first user also initialises OLE on
// its thread (drop targets need it) and takes the graphics back-end's process-wide state;
// the last gives both back. Editor thread only: nothing here is locked.
class WindowClass {
public:
    // Registers on the first call; `procedure` must be the same on every call.
    static void acquire(WNDPROC procedure);
    static void release();

    // "Toolkit" followed by the module handle: one class per loaded copy of the library.
    static const wchar_t* name();
    // Whether the user swapped the mouse buttons, read at registration.
    static bool buttonsSwapped();
    static int users();

    WindowClass() = delete;
};

} // namespace Toolkit::Win32Platform

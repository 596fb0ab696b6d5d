// The module that holds the toolkit's code: the plug-in library (or a test program).
#pragma once

#include <windows.h>

namespace Toolkit::Win32Platform {

// Found from the address of this function, so it equals the handle the library's load hook
// receives and needs no hook in programs that link the toolkit directly. It names the window
// class (one class per loaded module) and owns the class and its windows.
HINSTANCE moduleHandle();

} // namespace Toolkit::Win32Platform

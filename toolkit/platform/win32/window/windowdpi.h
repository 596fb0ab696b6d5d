// The density Windows gives a window: per window or per monitor where the system knows them,
// else the screen's, found through functions looked up at run time so the module still loads on
// systems that lack them.
#pragma once

#include <windows.h>

namespace Toolkit::Win32Platform {

// Dots per inch of `window` as this thread sees it (96 in a process that is not DPI aware,
// which Windows stretches instead); `window` null: the primary monitor. 96 when nothing answers.
unsigned windowDpi(HWND window);

} // namespace Toolkit::Win32Platform

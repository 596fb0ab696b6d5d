// The DLL's load hook: Windows hands us our own module handle, which the platform layer needs
// for the window class and the image resources.
#include "hinstance.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    // Only process attach: nothing here may load libraries or wait (loader lock held).
    if (reason == DLL_PROCESS_ATTACH) {
        hInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

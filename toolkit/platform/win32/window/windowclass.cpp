#include "windowclass.h"

#include "modulehandle.h"
#include "win32graphics.h"

#include <ole2.h>

namespace Toolkit::Win32Platform {

namespace {
int useCount = 0;
wchar_t className[64] = {};
bool swapped = false;
// OleUninitialize must balance only a successful OleInitialize: a host that runs its window
// thread in the multithreaded apartment refuses ours, and uninitialising anyway would pull
// COM from under the host.
bool oleInitialised = false;
} // namespace

void WindowClass::acquire(WNDPROC procedure) {
    if (useCount++ > 0) {
        return;
    }
    const HRESULT ole = OleInitialize(nullptr);
    oleInitialised = SUCCEEDED(ole);
    wsprintfW(className, L"Toolkit%p", static_cast<void*>(moduleHandle()));

    WNDCLASSW windowClass{};
    windowClass.style = CS_GLOBALCLASS | CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = moduleHandle();
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    swapped = GetSystemMetrics(SM_SWAPBUTTON) > 0;
    acquireGraphicsGlobals();
}

void WindowClass::release() {
    if (useCount <= 0 || --useCount > 0) {
        return;
    }
    releaseGraphicsGlobals();
    UnregisterClassW(className, moduleHandle());
    if (oleInitialised) {
        OleUninitialize();
    }
    oleInitialised = false;
}

const wchar_t* WindowClass::name() {
    return className;
}

bool WindowClass::buttonsSwapped() {
    return swapped;
}

int WindowClass::users() {
    return useCount;
}

} // namespace Toolkit::Win32Platform

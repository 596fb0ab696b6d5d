#include "windowdpi.h"

namespace Toolkit::Win32Platform {

namespace {
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
// shellscalingapi.h's GetDpiForMonitor with MDT_EFFECTIVE_DPI (0).
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;

template <class Function> Function lookUp(HMODULE module, const char* name) {
    return module
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

// Windows 10 1607 and later.
GetDpiForWindowFunction getDpiForWindow() {
    static const auto function =
        lookUp<GetDpiForWindowFunction>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    return function;
}

// Windows 8.1 and later; shcore stays loaded for the life of the process.
GetDpiForMonitorFunction getDpiForMonitor() {
    static const auto function =
        lookUp<GetDpiForMonitorFunction>(LoadLibraryW(L"shcore.dll"), "GetDpiForMonitor");
    return function;
}

// Anything outside this range is not a density a screen has.
bool plausible(UINT dpi) {
    return dpi >= 24 && dpi <= 2400;
}
} // namespace

unsigned windowDpi(HWND window) {
    if (window && IsWindow(window)) {
        if (const auto forWindow = getDpiForWindow()) {
            if (const UINT dpi = forWindow(window); plausible(dpi)) {
                return dpi;
            }
        }
    }
    if (const auto forMonitor = getDpiForMonitor()) {
        const HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY)
                                        : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        UINT x = 0, y = 0;
        if (monitor && SUCCEEDED(forMonitor(monitor, kEffectiveDpi, &x, &y)) && plausible(x)) {
            return x;
        }
    }
    if (const HDC screen = GetDC(nullptr)) {
        const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        if (dpi > 0 && plausible(static_cast<UINT>(dpi))) {
            return static_cast<UINT>(dpi);
        }
    }
    return 96;
}

} // namespace Toolkit::Win32Platform

#include "gdiplusglobals.h"

#include "gdiplusapi.h"

namespace Toolkit::Win32Platform {

namespace {
// Touched only on the editor thread, like every GDI+ object of the toolkit.
int useCount = 0;
ULONG_PTR token = 0;
bool started = false;
} // namespace

void GDIPlusGlobals::acquire() {
    if (useCount++ > 0) {
        return;
    }
    Gdiplus::GdiplusStartupInput input; // version 1, no callback, background thread on
    started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
}

void GDIPlusGlobals::release() {
    if (useCount == 0 || --useCount > 0) {
        return;
    }
    if (started) {
        Gdiplus::GdiplusShutdown(token);
    }
    started = false;
    token = 0;
}

int GDIPlusGlobals::references() {
    return useCount;
}

bool GDIPlusGlobals::running() {
    return started;
}

} // namespace Toolkit::Win32Platform

#include "gdiplusglobals.h"

#include "gdiplusapi.h"

#include <mutex>

namespace Toolkit::Win32Platform {

namespace {
// Editors' threads and the decoding thread make and drop bitmaps.
std::mutex countLock;
int useCount = 0;
ULONG_PTR token = 0;
bool started = false;
} // namespace

void GDIPlusGlobals::acquire() {
    std::lock_guard<std::mutex> hold(countLock);
    if (useCount++ > 0) {
        return;
    }
    Gdiplus::GdiplusStartupInput input; // version 1, no callback, background thread on
    started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
}

void GDIPlusGlobals::release() {
    std::lock_guard<std::mutex> hold(countLock);
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
    std::lock_guard<std::mutex> hold(countLock);
    return useCount;
}

bool GDIPlusGlobals::running() {
    std::lock_guard<std::mutex> hold(countLock);
    return started;
}

} // namespace Toolkit::Win32Platform

// Windows: the host delivers our window messages; idle only runs one pending paint, OLE is
// taken per editor, and without the host's help the native windows are resized by hand.
#include "platform/editorsupport.h"

#include "d2d/d2dglobals.h"
#include "win32factory.h"
#include "win32graphics.h"
#include "windowdpi.h"

#include <windows.h>

#include <cwchar>

namespace Toolkit::EditorSupport {

namespace {
// Successful OleInitialize calls of this thread not yet balanced. A host thread already in the
// multithreaded apartment refuses OLE (RPC_E_CHANGED_MODE) without counting the call; an
// uninitialise for it would take away one of the host's own COM initialisations.
thread_local int oleInitialisations = 0;
} // namespace

IPlatformFactory& platformFactory() {
    static Win32Platform::Win32Factory factory;
    return factory;
}

void enterEditorThread() {
    if (SUCCEEDED(OleInitialize(nullptr))) {
        ++oleInitialisations;
    }
}

void leaveEditorThread() {
    if (oleInitialisations > 0) {
        --oleInitialisations;
        OleUninitialize();
    }
}

std::uint32_t ticks() {
    return GetTickCount();
}

void wait(std::uint32_t ms) {
    Sleep(ms);
}

void beforeFrameIdle() {}
void afterFrameIdle() {}

void pumpPaint() {
    MSG message;
    if (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

namespace {
void resizeKeepingPlace(HWND window, int width, int height) {
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE);
}
} // namespace

// Walks up from our child window through the host's windows, growing each by what the one
// below it needed, until the frame difference looks like a plain dialog border (two frame
// thicknesses), an MDI client is reached, or the differences grow implausible (over 80 px:
// not a window that merely wraps ours).
bool resizeNativeWindows(void* nativeWindow, std::int32_t width, std::int32_t height) {
    const int thickness = GetSystemMetrics(SM_CYDLGFRAME);
    int diffWidth = 0;
    int diffHeight = 0;
    HWND window = static_cast<HWND>(nativeWindow);
    while (diffWidth != 2 * thickness) {
        if (!window) {
            return true;
        }
        HWND parent = GetParent(window);
        if (!parent) {
            break;
        }
        wchar_t className[1024] = {};
        GetClassNameW(parent, className, 1024);
        if (std::wcscmp(className, L"MDIClient") == 0) {
            break;
        }
        RECT windowRect{};
        RECT parentRect{};
        GetWindowRect(window, &windowRect);
        GetWindowRect(parent, &parentRect);
        resizeKeepingPlace(window, width + diffWidth, height + diffHeight);
        diffWidth += (parentRect.right - parentRect.left) - (windowRect.right - windowRect.left);
        diffHeight += (parentRect.bottom - parentRect.top) - (windowRect.bottom - windowRect.top);
        if (diffWidth > 80 || diffHeight > 80) {
            return true;
        }
        if (diffWidth < 0) {
            diffWidth = 0;
        }
        if (diffHeight < 0) {
            diffHeight = 0;
        }
        window = parent;
    }
    if (window) {
        resizeKeepingPlace(window, width + diffWidth, height + diffHeight);
    }
    return true;
}

bool decodesAheadOffThread() {
    return true;
}

namespace {
// Of the decoding thread: whether its COM initialisation counted, and which back-end it held.
thread_local bool decodingComStarted = false;
thread_local bool decodingHoldsGdiplus = false;
} // namespace

// The multithreaded apartment: nothing on this thread pumps messages. The imaging component
// decodes for Direct2D through a factory made here (the host's thread makes its own), and GDI+
// decodes through it under Wine. GDI+ is held so that the thread's bitmaps never start or stop
// it one by one; it may start here, in a process whose editor never opened.
void enterDecodingThread() {
    decodingComStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    if (Win32Platform::graphicsBackend() == Win32Platform::GraphicsBackend::gdiplus) {
        Win32Platform::acquireGraphicsGlobals();
        decodingHoldsGdiplus = true;
    } else {
        Win32Platform::D2DGlobals::beginThreadImagingFactory();
    }
}

void leaveDecodingThread() {
    if (decodingHoldsGdiplus) {
        Win32Platform::releaseGraphicsGlobals();
        decodingHoldsGdiplus = false;
    } else {
        Win32Platform::D2DGlobals::endThreadImagingFactory();
    }
    if (decodingComStarted) {
        CoUninitialize();
        decodingComStarted = false;
    }
}

// GDI+ windows draw straight into their device context and Direct2D resamples on the device:
// parts drawn offscreen would only be thrown away.
bool offscreenResamplingServesWindows() {
    return false;
}

// 96 dpi is 1x. A host that is not DPI aware gets 1x, and Windows stretches its windows.
// Windows delivers window messages to the thread's queue, which the host pumps.
int eventDescriptor() {
    return -1;
}

double systemScaleFactor(void* parentWindow) {
    return Win32Platform::windowDpi(static_cast<HWND>(parentWindow)) / 96.0;
}

} // namespace Toolkit::EditorSupport

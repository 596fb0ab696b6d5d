#include "win32frame.h"

#include "droptarget.h"
#include "keytranslation.h"
#include "modulehandle.h"
#include "platform/buttonflags.h"
#include "win32graphics.h"
#include "windowclass.h"
#include "windowdpi.h"

#include "cbitmap.h"
#include "cdrawcontext.h"
#include "coffscreencontext.h"
#include "scalefactor.h"

#include <algorithm>
#include <cmath>
#include <ole2.h>
#include <windowsx.h>

namespace Toolkit::Win32Platform {

namespace {

// Window sizes and pixel edges as integers; NaN and absurd values must not reach a cast.
int windowDimension(double value) {
    if (!(value >= 0.0)) {
        return 0;
    }
    return value >= 32767.0 ? 32767 : static_cast<int>(value);
}

int pixelEdge(double value) {
    constexpr double limit = 1 << 30;
    if (std::isnan(value)) {
        return 0;
    }
    return static_cast<int>(std::clamp(value, -limit, limit));
}

// Newer than the Windows 7 headers this builds against.
constexpr UINT kDpiChanged = 0x02E0;            // WM_DPICHANGED, to top-level windows
constexpr UINT kDpiChangedAfterParent = 0x02E3; // to their children, per-monitor aware v2

// Windows before version 6 cannot double-buffer a window (WS_EX_COMPOSITED) reliably.
bool olderThanVersion6() {
    static const bool older = [] {
        OSVERSIONINFOW version{};
        version.dwOSVersionInfoSize = sizeof version;
        return GetVersionExW(&version) && version.dwMajorVersion < 6;
    }();
    return older;
}

// The host's top-level window (the first one up the chain that is not a child) is layered.
bool hostWindowIsLayered(HWND window) {
    while (window) {
        WINDOWINFO info{};
        info.cbSize = sizeof info;
        if (!GetWindowInfo(window, &info)) {
            return false;
        }
        if (!(info.dwStyle & WS_CHILD)) {
            return (info.dwExStyle & WS_EX_LAYERED) != 0;
        }
        window = GetParent(window);
    }
    return false;
}

// The buttons and modifiers in a mouse message's key flags.
constexpr FlagButton kKeyFlagButtons[] = {
    {MK_LBUTTON, leftButton}, {MK_RBUTTON, rightButton}, {MK_MBUTTON, middleButton},
    {MK_XBUTTON1, button4},   {MK_XBUTTON2, button5},    {MK_CONTROL, controlKey},
    {MK_SHIFT, shiftKey},
};

ButtonState buttonsFromKeyFlags(WPARAM flags) {
    ButtonState buttons = buttonsFromFlags(static_cast<std::uint32_t>(flags), kKeyFlagButtons);
    // The key flags have no bit for Alt.
    if (GetKeyState(VK_MENU) < 0) {
        buttons |= altKey;
    }
    return buttons;
}

ButtonState modifierKeys() {
    ButtonState buttons;
    if (GetKeyState(VK_SHIFT) < 0) {
        buttons |= shiftKey;
    }
    if (GetKeyState(VK_CONTROL) < 0) {
        buttons |= controlKey;
    }
    if (GetKeyState(VK_MENU) < 0) {
        buttons |= altKey;
    }
    return buttons;
}

// Client coordinates: the halves of the position argument as signed numbers.
CPoint messagePoint(LPARAM position) {
    return CPoint(GET_X_LPARAM(position), GET_Y_LPARAM(position));
}

// The IDC_ names are integer ids, typed by whether UNICODE is defined; these sources do not
// depend on it.
template <class Id> const wchar_t* wide(Id id) {
    return MAKEINTRESOURCEW(reinterpret_cast<ULONG_PTR>(id));
}

const wchar_t* systemCursor(CursorType type) {
    switch (type) {
    case cursorWait:
        return wide(IDC_WAIT);
    case cursorHSize:
        return wide(IDC_SIZEWE);
    case cursorVSize:
        return wide(IDC_SIZENS);
    case cursorSizeAll:
        return wide(IDC_SIZEALL);
    case cursorNESWSize:
        return wide(IDC_SIZENESW);
    case cursorNWSESize:
        return wide(IDC_SIZENWSE);
    case cursorNotAllowed:
        return wide(IDC_NO);
    case cursorHand:
        return wide(IDC_HAND);
    default:
        return nullptr; // the saved default
    }
}

} // namespace

Win32Frame::Win32Frame(IPlatformFrameCallback* frameCallback, const CRect& size, void* parent)
    : callback(frameCallback), parentWindow(static_cast<HWND>(parent)) {
    WindowClass::acquire(&Win32Frame::windowProcedure);
    if (!callback || !parentWindow) {
        return;
    }

    DWORD extendedStyle = hostWindowIsLayered(parentWindow) ? WS_EX_TRANSPARENT : 0;
    const int width = windowDimension(size.width());
    const int height = windowDimension(size.height());
    if (graphicsBackend() == GraphicsBackend::gdiplus) {
        if (olderThanVersion6()) {
            backBuffer = Win32Platform::createOffscreenContext(width, height);
        } else {
            extendedStyle |= WS_EX_COMPOSITED;
        }
    }
    ownWindow = CreateWindowExW(extendedStyle, WindowClass::name(), L"Window",
                                WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                width, height, parentWindow, nullptr, moduleHandle(), nullptr);
    if (!ownWindow) {
        return;
    }
    SetWindowLongPtrW(ownWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    dropTarget = new DropTarget(this, callback);
    if (FAILED(RegisterDragDrop(ownWindow, dropTarget))) {
        dropTarget->Release();
        dropTarget = nullptr;
    }
}

Win32Frame::~Win32Frame() {
    regionBuffer = {};
    if (windowContext) {
        windowContext->releaseReference();
    }
    if (ownWindow) {
        const HWND window = ownWindow;
        forgetWindow();
        DestroyWindow(window);
    }
    if (backBuffer) {
        backBuffer->releaseReference();
    }
    WindowClass::release();
}

void Win32Frame::forgetWindow() {
    // Called while the window still exists: OLE keeps the drop target as a window property.
    if (dropTarget) {
        RevokeDragDrop(ownWindow);
        dropTarget->Release();
        dropTarget = nullptr;
    }
    SetWindowLongPtrW(ownWindow, GWLP_USERDATA, 0);
    ownWindow = nullptr;
}

bool Win32Frame::isKindOf(const char* className) const {
    return nameIs(className, "Win32Frame") || IPlatformFrame::isKindOf(className);
}

bool Win32Frame::globalPosition(CPoint& position) const {
    RECT r;
    if (!ownWindow || !GetWindowRect(ownWindow, &r)) {
        return false;
    }
    position = CPoint(r.left, r.top);
    return true;
}

bool Win32Frame::setSize(const CRect& newSize) {
    if (windowContext) {
        windowContext->releaseReference();
        windowContext = nullptr;
    }
    const int width = windowDimension(newSize.width());
    const int height = windowDimension(newSize.height());
    if (backBuffer) {
        backBuffer->releaseReference();
        backBuffer = Win32Platform::createOffscreenContext(width, height);
        if (backBuffer && scale != 1.0) {
            backBuffer->setScaleFactor(scale);
        }
    }
    if (ownWindow) {
        SetWindowPos(ownWindow, nullptr, pixelEdge(newSize.left), pixelEdge(newSize.top), width,
                     height,
                     SWP_DEFERERASE | SWP_NOCOPYBITS | SWP_NOREDRAW | SWP_NOMOVE | SWP_NOZORDER);
    }
    invalidateRect(newSize);
    return true;
}

bool Win32Frame::setScaleFactor(double newScale) {
    scale = nearestSupportedScale(newScale);
    // The next paint makes a context at the new scale; the back buffer keeps its size until
    // the frame's setSize, which follows.
    if (windowContext) {
        windowContext->releaseReference();
        windowContext = nullptr;
    }
    if (backBuffer) {
        backBuffer->setScaleFactor(scale);
    }
    return true;
}

bool Win32Frame::size(CRect& rect) const {
    RECT r;
    if (!ownWindow || !GetWindowRect(ownWindow, &r)) {
        return false;
    }
    POINT topLeft{r.left, r.top};
    MapWindowPoints(nullptr, ownWindow, &topLeft, 1);
    rect =
        CRect(topLeft.x, topLeft.y, topLeft.x + (r.right - r.left), topLeft.y + (r.bottom - r.top));
    return true;
}

bool Win32Frame::mousePosition(CPoint& position) const {
    RECT r;
    POINT cursor;
    if (!ownWindow || !GetWindowRect(ownWindow, &r) || !GetCursorPos(&cursor)) {
        return false;
    }
    position = CPoint(cursor.x - r.left, cursor.y - r.top);
    return true;
}

bool Win32Frame::mouseButtons(ButtonState& buttons) const {
    const bool swapped = WindowClass::buttonsSwapped();
    if (GetAsyncKeyState(VK_LBUTTON) < 0) {
        buttons |= swapped ? rightButton : leftButton;
    }
    if (GetAsyncKeyState(VK_MBUTTON) < 0) {
        buttons |= middleButton;
    }
    if (GetAsyncKeyState(VK_RBUTTON) < 0) {
        buttons |= swapped ? leftButton : rightButton;
    }
    if (GetAsyncKeyState(VK_SHIFT) < 0) {
        buttons |= shiftKey;
    }
    if (GetAsyncKeyState(VK_CONTROL) < 0) {
        buttons |= controlKey;
    }
    if (GetAsyncKeyState(VK_MENU) < 0) {
        buttons |= altKey;
    }
    return true;
}

bool Win32Frame::setCursor(CursorType type) {
    static HCURSOR savedDefault = nullptr;
    static bool saved = false;
    if (!saved) {
        savedDefault = GetCursor();
        saved = true;
    }
    const wchar_t* shape = systemCursor(type);
    SetCursor(shape ? LoadCursorW(nullptr, shape) : savedDefault);
    return true;
}

bool Win32Frame::invalidateRect(const CRect& rect) {
    if (!ownWindow) {
        return false;
    }
    const RECT area{pixelEdge(std::trunc(rect.left)), pixelEdge(std::trunc(rect.top)),
                    pixelEdge(std::ceil(rect.right)), pixelEdge(std::ceil(rect.bottom))};
    InvalidateRect(ownWindow, &area, TRUE);
    return true;
}

void* Win32Frame::nativeHandle() const {
    return ownWindow;
}

COffscreenContext* Win32Frame::createOffscreenContext(double width, double height) {
    return Win32Platform::createOffscreenContext(width, height);
}

LRESULT CALLBACK Win32Frame::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    auto* frame = reinterpret_cast<Win32Frame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!frame) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // An editor may close inside an event, releasing this object; it goes when we are done.
    SharedGuard<Win32Frame> hold(frame);
    return frame->onMessage(message, wParam, lParam);
}

LRESULT Win32Frame::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = ownWindow;
    switch (message) {
    case WM_DESTROY:
        // The host destroyed its window (and with it ours) before closing the editor.
        forgetWindow();
        break;
    case WM_SETFOCUS:
        callback->platformActivate(true);
        break;
    case WM_KILLFOCUS: {
        // Focus moving into a window of our own is no deactivation.
        const HWND gaining = reinterpret_cast<HWND>(wParam);
        if (!gaining || GetParent(gaining) != window) {
            callback->platformActivate(false);
        }
        break;
    }
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // every paint covers what it repaints
    case kDpiChanged:
        // The size Windows suggests is for top-level windows; ours is sized by the host or the
        // editor once the editor has decided on its scale.
        if (const UINT dpi = LOWORD(wParam); dpi > 0) {
            callback->platformScaleChanged(dpi / 96.0);
        }
        return 0;
    case kDpiChangedAfterParent:
        callback->platformScaleChanged(windowDpi(window) / 96.0);
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (key(wParam, message == WM_KEYDOWN)) {
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        if (!mouseInside) {
            TRACKMOUSEEVENT track{};
            track.cbSize = sizeof track;
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = window;
            track.dwHoverTime = 0;
            TrackMouseEvent(&track);
            mouseInside = true;
        }
        callback->platformMouseMoved(messagePoint(lParam), buttonsFromKeyFlags(wParam));
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
        mouseDown(wParam, lParam, false);
        return 0;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_XBUTTONDBLCLK:
        mouseDown(wParam, lParam, true);
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_XBUTTONUP:
        callback->platformMouseUp(messagePoint(lParam), buttonsFromKeyFlags(wParam));
        ReleaseCapture();
        return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        mouseWheel(wParam, lParam, message == WM_MOUSEHWHEEL);
        break;
    case WM_MOUSELEAVE: {
        CPoint where;
        mousePosition(where);
        ButtonState buttons;
        mouseButtons(buttons);
        callback->platformMouseExited(where, buttons);
        mouseInside = false;
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Win32Frame::mouseDown(WPARAM keyFlags, LPARAM position, bool doubleClicked) {
    ButtonState buttons = buttonsFromKeyFlags(keyFlags);
    if (doubleClicked) {
        buttons |= doubleClick;
    }
    SetFocus(ownWindow);
    const MouseResult result = callback->platformMouseDown(messagePoint(position), buttons);
    // Anything but a tracked press leaves the mouse free: its release may happen elsewhere.
    if (result == mouseHandled && ownWindow) {
        SetCapture(ownWindow);
    }
}

void Win32Frame::mouseWheel(WPARAM wParam, LPARAM position, bool horizontal) {
    // The position is in screen coordinates, negative left of and above the primary monitor:
    // its halves are signed like every other mouse position.
    RECT r{};
    GetWindowRect(ownWindow, &r);
    const CPoint where(GET_X_LPARAM(position) - r.left, GET_Y_LPARAM(position) - r.top);
    // Whole notches only: a high-resolution wheel's smaller steps give 0.
    const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    const float distance =
        static_cast<float>(horizontal ? delta / -WHEEL_DELTA : delta / WHEEL_DELTA);
    callback->platformMouseWheel(where, horizontal ? horizontalAxis : verticalAxis, distance,
                                 modifierKeys());
}

bool Win32Frame::key(WPARAM windowsKey, bool down) {
    VstKeyCode code;
    code.virt = virtualKeyFromWindowsKey(static_cast<unsigned>(windowsKey));
    if (code.virt == 0) {
        return false;
    }
    return down ? callback->platformKeyDown(code) : callback->platformKeyUp(code);
}

void Win32Frame::paint() {
    const HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (!region) {
        return;
    }
    if (GetUpdateRgn(ownWindow, region, FALSE) == NULLREGION) {
        DeleteObject(region);
        return;
    }
    PAINTSTRUCT paintInfo;
    if (BeginPaint(ownWindow, &paintInfo)) {
        CRect frameRect;
        size(frameRect);
        frameRect.moveTo(0, 0);
        if (!windowContext) {
            windowContext = createWindowContext(ownWindow, frameRect);
            // A back buffer carries the scale itself and is copied pixel for pixel.
            if (windowContext && scale != 1.0 && !backBuffer) {
                windowContext->setScaleFactor(scale);
            }
        }
        if (windowContext) {
            // A context released by a resize inside a draw call stays alive until we are done.
            SharedGuard<CDrawContext> window(windowContext);
            const RECT& p = paintInfo.rcPaint;
            const CRect paintRect(p.left, p.top, p.right, p.bottom);
            CDrawContext* target = backBuffer ? backBuffer : window.get();
            window->setClipRect(target == window.get() ? toUnits(paintRect) : paintRect);
            SharedGuard<CDrawContext> hold(target);
            target->beginDraw();
            drawRegion(target, region, paintRect);
            target->endDraw();
            if (backBuffer) {
                window->beginDraw();
                window->clearRect(paintRect);
                window->drawBitmap(backBuffer->bitmap(), paintRect, paintRect.topLeft(), 1.0f);
                window->endDraw();
            }
        }
        EndPaint(ownWindow, &paintInfo);
    }
    DeleteObject(region);
}

CRect Win32Frame::toUnits(const CRect& pixels) const {
    return scale == 1.0 ? pixels : unscaledOutward(pixels, scale);
}

void Win32Frame::drawRegion(CDrawContext* context, HRGN region, const CRect& paintRect) {
    const DWORD needed = GetRegionData(region, 0, nullptr);
    if (needed > regionBuffer.size()) {
        regionBuffer.resize(needed);
    }
    if (needed == 0 ||
        GetRegionData(region, needed, reinterpret_cast<RGNDATA*>(regionBuffer.data())) == 0) {
        return;
    }
    const auto* data = reinterpret_cast<const RGNDATA*>(regionBuffer.data());
    if (data->rdh.nCount == 0) {
        callback->platformDrawRect(context, toUnits(paintRect));
        return;
    }
    // Each rectangle on its own, so a knob turn repaints that knob and not the span between
    // two knobs that changed together.
    const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
    for (DWORD i = 0; i < data->rdh.nCount; ++i) {
        const CRect rect(rects[i].left, rects[i].top, rects[i].right, rects[i].bottom);
        const CRect units = toUnits(rect);
        context->saveGlobalState();
        context->setOffset(CPoint());
        context->setClipRect(toUnits(rect.bounded(paintRect)));
        context->clearRect(units);
        callback->platformDrawRect(context, units);
        context->restoreGlobalState();
        if (!ownWindow) {
            return;
        }
    }
}

} // namespace Toolkit::Win32Platform

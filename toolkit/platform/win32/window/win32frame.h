// The platform frame on Windows: a child window inside the host's window.
#pragma once

#include "platform/iplatformframe.h"

#include <vector>
#include <windows.h>

namespace Toolkit::Win32Platform {

class DropTarget;

// Messages arrive through the window procedure on the thread that made the window (the host's
// user-interface thread); the host's message loop drives everything, painting included. If
// the window cannot be made (the host's window is gone, no parent given) the frame exists
// without one: invalidations are dropped, nothing paints and mousePosition answers false.
class Win32Frame : public IPlatformFrame {
public:
    // `parentWindow` is the host's HWND.
    Win32Frame(IPlatformFrameCallback* callback, const CRect& size, void* parentWindow);
    ~Win32Frame() override;
    Win32Frame(const Win32Frame&) = delete;
    Win32Frame& operator=(const Win32Frame&) = delete;

    bool globalPosition(CPoint& position) const override;
    // Releases the window context (made again at the next paint) and invalidates `newSize`.
    bool setSize(const CRect& newSize) override;
    bool size(CRect& size) const override;
    bool mousePosition(CPoint& position) const override;
    // Physical button state (GetAsyncKeyState), mapped through the swapped-buttons setting.
    bool mouseButtons(ButtonState& buttons) const override;
    bool setCursor(CursorType type) override;
    // Whole pixels covering `rect` join the window's update region.
    bool invalidateRect(const CRect& rect) override;
    // The HWND; null without a window.
    void* nativeHandle() const override;
    COffscreenContext* createOffscreenContext(double width, double height) override;
    // Window contexts made from now on draw at `scale`; releases the current one.
    bool setScaleFactor(double scale) override;
    bool isKindOf(const char* className) const override;

    HWND window() const { return ownWindow; }

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void mouseDown(WPARAM keyFlags, LPARAM position, bool doubleClick);
    void mouseWheel(WPARAM wParam, LPARAM position, bool horizontal);
    bool key(WPARAM windowsKey, bool down);
    void paint();
    void drawRegion(CDrawContext* context, HRGN region, const CRect& paintRect);
    // A device rectangle in the drawing units of the frame's scale, widened to whole units.
    CRect toUnits(const CRect& pixels) const;
    void forgetWindow();

    IPlatformFrameCallback* callback;
    HWND parentWindow = nullptr;
    HWND ownWindow = nullptr;
    // Drawn into, then copied to the window: only where Windows cannot double-buffer the
    // window itself (before version 6) and Direct2D is missing.
    COffscreenContext* backBuffer = nullptr;
    CDrawContext* windowContext = nullptr;
    double scale = 1.0;
    DropTarget* dropTarget = nullptr;
    // A leave notification is pending.
    bool mouseInside = false;
    // Reused by every paint and only grown, so steady painting allocates nothing.
    std::vector<BYTE> regionBuffer;
};

} // namespace Toolkit::Win32Platform

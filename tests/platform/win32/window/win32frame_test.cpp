// Guards against the Win32 child window mistranslating input (capture, double clicks, wheel,
// keys, leave notifications), painting the wrong area, or leaking its class, OLE or timers.

#include "cdrawcontext.h"
#include "ctoolkittimer.h"
#include "modulehandle.h"
#include "platform/iplatformfactory.h"
#include "platform/iplatformframe.h"
#include "tests/platform/framerecorder.h"
#include "win32graphics.h"
#include "windowclass.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <ole2.h>
#include <string>
#include <vector>
#include <windows.h>

using namespace Toolkit;
using namespace Toolkit::Win32Platform;
using namespace Toolkit::Testing;

namespace {

class Recorder : public FrameRecorder {
public:
    std::vector<double> scaleChanges;
    CColor color = kRedCColor;
    MouseResult pressAnswer = mouseHandled;
    std::function<void()> onPress = [] {};

    // Fills the whole surface: only the clip keeps it inside the rectangle.
    bool platformDrawRect(CDrawContext* context, const CRect& rect) override {
        drawn.push_back(rect);
        context->setFillColor(color);
        context->drawRect(context->surfaceRect(), kDrawFilled);
        return true;
    }
    MouseResult platformMouseDown(const CPoint& p, const ButtonState& b) override {
        add(down, p, b);
        onPress();
        return pressAnswer;
    }
    bool platformMouseWheel(const CPoint& p, MouseWheelAxis axis, float distance,
                            const ButtonState& b) override {
        add(wheel, p, b, distance, axis);
        return true;
    }
    bool platformKeyDown(VstKeyCode& k) override { return key(keyDown, k); }
    bool platformKeyUp(VstKeyCode& k) override { return key(keyUp, k); }
    void platformActivate(bool active) override { add(activate, {}, 0, 0, active); }
    void platformScaleChanged(double scale) override { scaleChanges.push_back(scale); }

private:
    bool key(Kind kind, const VstKeyCode& k) {
        add(kind, {}, 0, 0, k.character * 0x10000 + k.modifier * 0x100 + k.virt);
        return true;
    }
};

// Dispatches messages until `done` or the timeout (a safety net, not a measurement).
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done()) {
            return true;
        }
        Sleep(2);
    } while (static_cast<int>(end - GetTickCount()) > 0);
    return false;
}

void pumpFor(int ms) {
    pumpUntil([] { return false; }, ms);
}

LRESULT CALLBACK hostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

// A top-level host window with a 120 x 80 platform frame in it, reporting to a recorder.
class Win32Host : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = hostProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"GravelixTestHost";
        RegisterClassW(&windowClass);
    }
    void SetUp() override {
        host = CreateWindowExW(0, L"GravelixTestHost", L"host",
                               WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, hostX, hostY,
                               400, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, host);
        frame = open(recorder);
        ASSERT_NE(nullptr, frame);
        child = static_cast<HWND>(frame->nativeHandle());
        ASSERT_NE(nullptr, child);
    }
    void TearDown() override {
        if (frame) {
            frame->releaseReference();
        }
        if (host) {
            DestroyWindow(host);
        }
        pumpFor(0);
    }

    IPlatformFrame* open(Recorder& to) {
        IPlatformFrame* made = getPlatformFactory().createFrame(&to, CRect(0, 0, 120, 80), host);
        UpdateWindow(static_cast<HWND>(made->nativeHandle()));
        return made;
    }

    // The 0xRRGGBB colour of one pixel of the frame's window as it is on the screen.
    COLORREF pixel(int x, int y) {
        HDC dc = GetDC(child);
        const COLORREF c = GetPixel(dc, x, y);
        ReleaseDC(child, dc);
        return RGB(GetBValue(c), GetGValue(c), GetRValue(c));
    }
    POINT screenPoint(int x, int y) {
        POINT p{x, y};
        ClientToScreen(child, &p);
        return p;
    }
    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) {
        return SendMessageW(child, message, wParam, lParam);
    }

    static constexpr int hostX = 60, hostY = 40;
    Recorder recorder;
    HWND host = nullptr;
    IPlatformFrame* frame = nullptr;
    HWND child = nullptr;
};

} // namespace

TEST_F(Win32Host, FrameIsAVisibleChildOfTheHostWindowWithTheFramesSize) {
    EXPECT_EQ(host, GetParent(child));
    EXPECT_TRUE(GetWindowLongPtrW(child, GWL_STYLE) & WS_CHILD);
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_EQ(static_cast<ULONG_PTR>(CS_GLOBALCLASS | CS_DBLCLKS),
              GetClassLongPtrW(child, GCL_STYLE));
    CRect size;
    ASSERT_TRUE(frame->size(size));
    EXPECT_EQ(CRect(0, 0, 120, 80), size);
    RECT onScreen;
    GetWindowRect(child, &onScreen);
    CPoint global;
    ASSERT_TRUE(frame->globalPosition(global));
    EXPECT_EQ(CPoint(onScreen.left, onScreen.top), global);
    EXPECT_FALSE(recorder.drawn.empty()) << "the first paint came with the window";
    EXPECT_NE(nullptr, GetPropW(child, L"OleDropTargetInterface")) << "a drop target";
    // GDI+ on Windows 6 and later lets the system double-buffer the window; before, the frame
    // paints through a back buffer of its own (run_as_windows_xp.sh covers that path).
    // Direct2D buffers by itself.
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(&version);
    const bool composited =
        graphicsBackend() == GraphicsBackend::gdiplus && version.dwMajorVersion >= 6;
    EXPECT_EQ(composited ? WS_EX_COMPOSITED : 0,
              GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_COMPOSITED);
    EXPECT_FALSE(GetWindowLongPtrW(child, GWL_EXSTYLE) & WS_EX_TRANSPARENT) << "host not layered";

    ASSERT_TRUE(frame->setSize(CRect(0, 0, 150, 90)));
    ASSERT_TRUE(frame->size(size));
    EXPECT_EQ(CRect(0, 0, 150, 90), size);
    recorder.color = kBlueCColor;
    UpdateWindow(child);
    EXPECT_EQ(0x0000FFu, pixel(149, 89)) << "the new area is painted with a new context";
}

TEST_F(Win32Host, PressCapturesOnlyWhenTheFrameTracksIt) {
    recorder.pressAnswer = mouseNotHandled;
    send(WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(20, 30));
    EXPECT_NE(child, GetCapture()) << "an unhandled press leaves the mouse free";
    EXPECT_EQ(child, GetFocus()) << "a press takes the keyboard focus";
    send(WM_LBUTTONUP, 0, MAKELPARAM(20, 30));

    recorder.pressAnswer = mouseHandledNoTracking;
    send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 6));
    EXPECT_NE(child, GetCapture());
    send(WM_RBUTTONUP, 0, MAKELPARAM(5, 6));

    recorder.pressAnswer = mouseHandled;
    send(WM_XBUTTONDOWN, MAKEWPARAM(MK_XBUTTON1 | MK_SHIFT, XBUTTON1), MAKELPARAM(7, 8));
    EXPECT_EQ(child, GetCapture());
    // Moves outside the window arrive in client coordinates, negative to the left and above.
    send(WM_MOUSEMOVE, MK_XBUTTON1, MAKELPARAM(-5, -7));
    send(WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON1), MAKELPARAM(-5, -7));
    EXPECT_EQ(nullptr, GetCapture()) << "the release ends the capture";

    const auto presses = recorder.all(down);
    ASSERT_EQ(3u, presses.size());
    EXPECT_EQ(CPoint(20, 30), presses[0].where);
    EXPECT_EQ(leftButton | controlKey, presses[0].buttons);
    EXPECT_EQ(rightButton, presses[1].buttons);
    EXPECT_EQ(button4 | shiftKey, presses[2].buttons);
    EXPECT_EQ(CPoint(-5, -7), recorder.all(moved).back().where);
    EXPECT_EQ(3u, recorder.all(up).size());
    SetFocus(host);
    const auto activations = recorder.all(activate);
    ASSERT_EQ(2u, activations.size());
    EXPECT_EQ(1, activations[0].detail);
    EXPECT_EQ(0, activations[1].detail) << "losing the focus to the host deactivates";
}

TEST_F(Win32Host, SecondClickOfADoubleClickCarriesTheDoubleClickBit) {
    recorder.pressAnswer = mouseHandled;
    const POINT at = screenPoint(30, 20);
    SetForegroundWindow(host);
    // Each click carries its place (the centre of the pixel in absolute units), so a pointer
    // position still on its way from the X server cannot send it elsewhere.
    INPUT clicks[4] = {};
    for (int i = 0; i < 4; ++i) {
        clicks[i].type = INPUT_MOUSE;
        clicks[i].mi.dx = MulDiv(2 * at.x + 1, 65535, 2 * GetSystemMetrics(SM_CXSCREEN));
        clicks[i].mi.dy = MulDiv(2 * at.y + 1, 65535, 2 * GetSystemMetrics(SM_CYSCREEN));
        clicks[i].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE |
                               (i % 2 ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_LEFTDOWN);
    }
    ASSERT_EQ(4u, SendInput(4, clicks, sizeof(INPUT)));
    ASSERT_TRUE(pumpUntil([&] { return recorder.all(up).size() == 2; }));
    const auto presses = recorder.all(down);
    ASSERT_EQ(2u, presses.size());
    EXPECT_EQ(static_cast<std::uint32_t>(leftButton), presses[0].buttons);
    EXPECT_EQ(leftButton | doubleClick, presses[1].buttons);
    EXPECT_EQ(CPoint(30, 20), presses[1].where);
    EXPECT_EQ(0u, recorder.all(up)[1].buttons) << "followed by the normal release";
}

TEST_F(Win32Host, WheelGivesWholeNotchesAtSignedScreenPositionsWithModifiersOnly) {
    // Left of and above the primary monitor, where screen positions are negative.
    SetWindowPos(host, nullptr, -350, -250, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    RECT r;
    GetWindowRect(child, &r);
    ASSERT_LT(r.left + 10, 0);
    const LPARAM at = MAKELPARAM(r.left + 10, r.top + 20);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    for (auto [message, delta] :
         {std::pair{WM_MOUSEWHEEL, 40}, {WM_MOUSEWHEEL, -240}, {WM_MOUSEHWHEEL, 120}}) {
        send(message, MAKEWPARAM(MK_LBUTTON, delta), at);
    }
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);

    const auto wheels = recorder.all(wheel);
    ASSERT_EQ(3u, wheels.size());
    EXPECT_EQ(0.0f, wheels[0].distance) << "a high-resolution step below one notch";
    EXPECT_EQ(-2.0f, wheels[1].distance);
    EXPECT_EQ(verticalAxis, wheels[1].detail);
    EXPECT_EQ(-1.0f, wheels[2].distance) << "horizontal deltas count the other way";
    EXPECT_EQ(horizontalAxis, wheels[2].detail);
    for (const auto& w : wheels) {
        EXPECT_EQ(CPoint(10, 20), w.where);
        EXPECT_EQ(static_cast<std::uint32_t>(controlKey), w.buttons) << "no button bits";
    }
}

TEST_F(Win32Host, KeysTranslateWithoutCharacterOrModifiers) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    EXPECT_EQ(0, send(WM_KEYDOWN, VK_TAB, 0)) << "taken";
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    send(WM_KEYUP, VK_F12, 0);
    send(WM_KEYDOWN, 'A', 0); // no toolkit code: not passed on
    send(WM_KEYDOWN, VK_NUMPAD9, 0);
    ASSERT_EQ(2u, recorder.all(keyDown).size());
    EXPECT_EQ(VKEY_TAB, recorder.all(keyDown)[0].detail) << "tab never carries shift";
    EXPECT_EQ(33, recorder.all(keyDown)[1].detail);
    EXPECT_EQ(VKEY_F12, recorder.all(keyUp).at(0).detail);
}

TEST_F(Win32Host, TwoInvalidationsPaintOnceEachRectangleDrawnOnItsOwn) {
    EXPECT_EQ(0xFF0000u, pixel(50, 40)) << "the first paint";
    recorder.drawn.clear();
    recorder.color = kBlueCColor;
    frame->invalidateRect(CRect(10.5, 10.2, 29.5, 19.9)); // whole pixels: (10, 10, 30, 20)
    frame->invalidateRect(CRect(80, 50, 90, 70));
    UpdateWindow(child); // one WM_PAINT for everything invalid
    EXPECT_EQ((std::vector<CRect>{{10, 10, 30, 20}, {80, 50, 90, 70}}), recorder.drawn);
    // The recorder fills the whole surface: only a clip per rectangle keeps the span between
    // them (and everything else) as it was.
    for (auto [x, y] : {std::pair{10, 10}, {29, 19}, {80, 50}, {89, 69}}) {
        EXPECT_EQ(0x0000FFu, pixel(x, y)) << "repainted " << x << "," << y;
    }
    for (auto [x, y] : {std::pair{30, 19}, {9, 10}, {50, 40}, {90, 70}, {29, 50}, {80, 19}}) {
        EXPECT_EQ(0xFF0000u, pixel(x, y)) << "untouched " << x << "," << y;
    }
    recorder.drawn.clear();
    pumpFor(50);
    EXPECT_TRUE(recorder.drawn.empty()) << "nothing paints without a reason";

    // Each rectangle is cleared before it is drawn. Only Direct2D clears: GDI+ leaves it to the
    // editor's opaque background, which every paint draws first.
    if (graphicsBackend() == GraphicsBackend::direct2d) {
        recorder.color = CColor(0, 0, 255, 0); // draws nothing
        frame->invalidateRect(CRect(40, 30, 50, 40));
        UpdateWindow(child);
        EXPECT_NE(0xFF0000u, pixel(45, 35)) << "cleared";
        EXPECT_EQ(0xFF0000u, pixel(50, 40)) << "outside";
    }
}

// Above 1x the platform frame stays in device pixels while its paints draw in units: a wrong
// conversion shows as a paint that misses or overshoots the invalid pixels.
TEST_F(Win32Host, AScaledFramePaintsUnitRectanglesThatCoverTheInvalidPixels) {
    ASSERT_TRUE(frame->setScaleFactor(2.0));
    ASSERT_TRUE(frame->setSize(CRect(0, 0, 240, 160)));
    UpdateWindow(child);
    CRect size;
    ASSERT_TRUE(frame->size(size));
    EXPECT_EQ(CRect(0, 0, 240, 160), size) << "sizes stay device pixels";
    EXPECT_EQ(0xFF0000u, pixel(239, 159)) << "the unit surface covers the whole window";

    recorder.drawn.clear();
    recorder.color = kBlueCColor;
    frame->invalidateRect(CRect(20, 20, 40, 30));
    UpdateWindow(child);
    EXPECT_EQ((std::vector<CRect>{{10, 10, 20, 15}}), recorder.drawn);
    EXPECT_EQ(0x0000FFu, pixel(20, 20));
    EXPECT_EQ(0x0000FFu, pixel(39, 29));
    EXPECT_EQ(0xFF0000u, pixel(40, 29)) << "clipped to the invalid pixels";
    EXPECT_EQ(0xFF0000u, pixel(19, 20));

    // 1.5x: pixel edges between units widen to whole units; the clip still covers them all.
    ASSERT_TRUE(frame->setScaleFactor(1.5));
    ASSERT_TRUE(frame->setSize(CRect(0, 0, 180, 120)));
    recorder.color = kRedCColor;
    UpdateWindow(child);
    recorder.drawn.clear();
    recorder.color = kGreenCColor;
    frame->invalidateRect(CRect(10, 10, 31, 20));
    UpdateWindow(child);
    EXPECT_EQ((std::vector<CRect>{{6, 6, 21, 14}}), recorder.drawn);
    for (auto [x, y] : {std::pair{10, 10}, {30, 19}}) {
        EXPECT_EQ(0x00FF00u, pixel(x, y)) << "repainted " << x << "," << y;
    }
}

TEST_F(Win32Host, ANewDensityReachesTheFrameAsAScaleAndLeavesTheSizeAlone) {
    send(0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), 0);
    EXPECT_EQ(std::vector<double>{1.5}, recorder.scaleChanges);
    CRect size;
    ASSERT_TRUE(frame->size(size));
    EXPECT_EQ(CRect(0, 0, 120, 80), size) << "the editor decides, then resizes";
    send(0x02E3 /* WM_DPICHANGED_AFTERPARENT */, 0, 0);
    ASSERT_EQ(2u, recorder.scaleChanges.size());
    EXPECT_GT(recorder.scaleChanges[1], 0.0) << "read from the window itself";
}

// Counts the frame's leave requests on their way to the system (the program's import slot).
extern "C" BOOL(WINAPI* __imp_TrackMouseEvent)(LPTRACKMOUSEEVENT);
namespace {
int leaveRequests = 0;
BOOL(WINAPI* systemTrackMouseEvent)(LPTRACKMOUSEEVENT) = nullptr;
BOOL WINAPI countingTrackMouseEvent(LPTRACKMOUSEEVENT request) {
    leaveRequests += (request->dwFlags & TME_LEAVE) && !(request->dwFlags & TME_QUERY);
    return systemTrackMouseEvent(request);
}
void redirectTrackMouseEvent(BOOL(WINAPI* to)(LPTRACKMOUSEEVENT)) {
    DWORD protection;
    VirtualProtect(&__imp_TrackMouseEvent, sizeof to, PAGE_READWRITE, &protection);
    __imp_TrackMouseEvent = to;
    VirtualProtect(&__imp_TrackMouseEvent, sizeof to, protection, &protection);
}
} // namespace

TEST_F(Win32Host, EveryEntryRequestsOneLeaveNotification) {
    systemTrackMouseEvent = __imp_TrackMouseEvent;
    redirectTrackMouseEvent(countingTrackMouseEvent);
    leaveRequests = 0;
    for (int entry = 1; entry <= 2; ++entry) {
        for (int x = 40; x < 43; ++x) {
            send(WM_MOUSEMOVE, 0, MAKELPARAM(x, 40));
        }
        EXPECT_EQ(entry, leaveRequests) << "moves after the first of entry " << entry;
        send(WM_MOUSELEAVE, 0, 0); // what the requested notification delivers
    }
    redirectTrackMouseEvent(systemTrackMouseEvent);
    EXPECT_EQ(2u, recorder.all(exited).size());
}

TEST_F(Win32Host, EditorClosingInsideAPressDestroysTheWindowAfterTheCall) {
    recorder.onPress = [&] {
        frame->releaseReference();
        frame = nullptr;
    };
    send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(Win32Host, HostDestroyingItsWindowFirstLeavesAFrameWithoutWindow) {
    DestroyWindow(host);
    host = nullptr;
    EXPECT_EQ(nullptr, frame->nativeHandle());
    EXPECT_FALSE(frame->invalidateRect(CRect(0, 0, 10, 10)));
    CPoint where;
    EXPECT_FALSE(frame->mousePosition(where));
}

TEST(Win32WindowClass, FramesShareOneClassGoneWithOleAfterTheLast) {
    // Nobody else may hold COM on this thread, or the balance cannot be seen.
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    CoUninitialize();
    Recorder recorder;
    // A layered host: the editor's window must let its transparency through.
    HWND host = CreateWindowExW(WS_EX_LAYERED, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 300,
                                200, nullptr, nullptr, nullptr, nullptr);
    IPlatformFrame* first = getPlatformFactory().createFrame(&recorder, CRect(0, 0, 50, 50), host);
    IPlatformFrame* second = getPlatformFactory().createFrame(&recorder, CRect(0, 0, 50, 50), host);
    wchar_t firstClass[64] = {}, secondClass[64] = {};
    GetClassNameW(static_cast<HWND>(first->nativeHandle()), firstClass, 64);
    GetClassNameW(static_cast<HWND>(second->nativeHandle()), secondClass, 64);
    EXPECT_STREQ(firstClass, secondClass);
    EXPECT_TRUE(GetWindowLongPtrW(static_cast<HWND>(first->nativeHandle()), GWL_EXSTYLE) &
                WS_EX_TRANSPARENT);
    EXPECT_EQ(2, WindowClass::users());
    EXPECT_EQ(S_FALSE, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) << "OLE is on";
    CoUninitialize();

    first->releaseReference();
    WNDCLASSW info;
    EXPECT_TRUE(GetClassInfoW(moduleHandle(), firstClass, &info)) << "still in use";
    second->releaseReference();
    EXPECT_FALSE(GetClassInfoW(moduleHandle(), firstClass, &info));
    EXPECT_EQ(0, WindowClass::users());
    EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) << "OLE is off again";
    CoUninitialize();
    DestroyWindow(host);
}

TEST(Win32Timer, ToolkitTimerFiresThroughTheMessageLoopUntilStopped) {
    struct Target : CBaseObject {
        int ticks = 0;
        MessageResult handleMessage(CBaseObject*, IdStringPtr message) override {
            ticks += message == kMsgTimer;
            return messageNotified;
        }
    } target;
    auto* timer = new CToolkitTimer(&target, 5, true);
    ASSERT_TRUE(timer->isRunning());
    ASSERT_TRUE(pumpUntil([&] { return target.ticks >= 3; }, 5000));
    EXPECT_TRUE(timer->setInterval(7));
    ASSERT_TRUE(pumpUntil([&] { return target.ticks >= 5; }, 5000)) << "restarted";
    timer->stop();
    const int stoppedAt = target.ticks;
    pumpFor(60);
    EXPECT_EQ(stoppedAt, target.ticks) << "no tick after stop, even one already queued";
    timer->releaseReference();
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The window code does not depend on the back-end, but its paint does: GDI+ (which draws
    // under any Wine) unless --direct2d asks for the machine's own choice.
    const bool direct2d = argc > 1 && std::string(argv[1]) == "--direct2d";
    _putenv(direct2d ? "GRAVELIX_GRAPHICS=" : "GRAVELIX_GRAPHICS=gdiplus");
    if (direct2d && graphicsBackend() != GraphicsBackend::direct2d) {
        std::fprintf(stderr, "Direct2D is not available here\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}

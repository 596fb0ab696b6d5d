// Guards against the editor base's Windows services going wrong: the sizing fallback resizing
// host windows it must leave alone (an MDI client, a parent far larger than our window) or
// missing the ones it must grow, the idle paint pump painting nothing or too much, and an editor
// taking away the COM initialisation of a host thread that OLE refused.
#include "platform/editorsupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <ostream>
#include <thread>
#include <vector>

namespace {

// A window's outer size, shown as width x height when a check fails.
struct Size {
    LONG width, height;
    bool operator==(const Size&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Size& s) {
        return out << s.width << " x " << s.height;
    }
};

Size outerSize(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {r.right - r.left, r.bottom - r.top};
}

void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

class Windows : public ::testing::Test {
protected:
    HWND popup(int width, int height) {
        return track(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, width, height, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr));
    }
    HWND child(HWND parent, const wchar_t* windowClass, int width, int height,
               void* create = nullptr) {
        return track(CreateWindowExW(0, windowClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, width,
                                     height, parent, nullptr, GetModuleHandleW(nullptr), create));
    }
    // Our 270 x 475 window in `parent`, grown to 300 x 500 by the sizing fallback.
    HWND resizedEditorIn(HWND parent) {
        HWND editor = child(parent, L"STATIC", 270, 475);
        EXPECT_TRUE(Toolkit::EditorSupport::resizeNativeWindows(editor, 300, 500));
        return editor;
    }
    HWND track(HWND window) {
        EXPECT_NE(window, nullptr);
        made.push_back(window);
        return window;
    }
    void TearDown() override {
        for (auto it = made.rbegin(); it != made.rend(); ++it) {
            DestroyWindow(*it);
        }
        pump();
    }
    std::vector<HWND> made;
};

// A host window that merely wraps ours (same size) grows with it.
TEST_F(Windows, ResizeGrowsAWrappingHostWindowWithTheEditor) {
    HWND host = popup(270, 475);
    EXPECT_EQ(outerSize(resizedEditorIn(host)), (Size{300, 500}));
    EXPECT_EQ(outerSize(host), (Size{300, 500}));
}

// A parent 100 pixels wider is not a frame around us: only our own window changes.
TEST_F(Windows, ResizeStopsBelowAParentFarLargerThanTheEditor) {
    HWND host = popup(370, 475);
    EXPECT_EQ(outerSize(resizedEditorIn(host)), (Size{300, 500}));
    EXPECT_EQ(outerSize(host), (Size{370, 475}));
}

// An MDI client belongs to the host's layout: the walk resizes our window and stops there.
TEST_F(Windows, ResizeNeverTouchesAnMdiClient) {
    HWND host = popup(270, 475);
    CLIENTCREATESTRUCT mdi{nullptr, 1};
    HWND client = child(host, L"MDICLIENT", 270, 475, &mdi);
    EXPECT_EQ(outerSize(resizedEditorIn(client)).width, 300);
    EXPECT_EQ(outerSize(client).width, 270);
    EXPECT_EQ(outerSize(host).width, 270);
}

LRESULT CALLBACK countPaints(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        auto* count = reinterpret_cast<int*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        ++*count;
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

// The idle pump paints one pending window per call, and nothing when nothing is invalid.
TEST_F(Windows, PaintPumpRunsOnePendingPaint) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = countPaints;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"GravelixPaintCounter";
    ASSERT_NE(RegisterClassW(&wc), 0);
    int paints = 0;
    HWND window = track(CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 50,
                                        50, nullptr, nullptr, wc.hInstance, nullptr));
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&paints));
    pump();
    paints = 0;
    InvalidateRect(window, nullptr, FALSE);
    Toolkit::EditorSupport::pumpPaint();
    EXPECT_EQ(paints, 1);
    Toolkit::EditorSupport::pumpPaint();
    EXPECT_EQ(paints, 1);
    DestroyWindow(window);
    made.pop_back();
    UnregisterClassW(wc.lpszClassName, wc.hInstance);
}

// A host thread in the multithreaded apartment refuses OLE; the editor must not then
// uninitialise COM on it. (Wine forgives the unbalanced call; Windows takes the host's COM away.)
TEST(EditorSupport, LeavesAHostsComAloneWhenOleWasRefused) {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    Toolkit::EditorSupport::enterEditorThread();
    Toolkit::EditorSupport::leaveEditorThread();
    // Still initialised: a further call only adds a count.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
}

// In a fresh thread OLE is taken and given back: afterwards the thread can join any apartment.
TEST(EditorSupport, BalancesItsOwnOleInitialisation) {
    std::thread editorThread([] {
        Toolkit::EditorSupport::enterEditorThread();
        EXPECT_EQ(OleInitialize(nullptr), S_FALSE); // ours is in place
        OleUninitialize();
        Toolkit::EditorSupport::leaveEditorThread();
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
    });
    editorThread.join();
}

} // namespace

#include "hostwindow.h"

#include "session.h"

#include <windows.h>

#include <chrono>
#include <stdexcept>
#include <thread>

namespace gravelix::validator {

namespace {

constexpr wchar_t className[] = L"GravelixValidatorHost";

HWND handle(std::uintptr_t window) {
    return reinterpret_cast<HWND>(window);
}

// Delivers whatever arrived for this thread's windows, as a host's message loop would.
void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void registerClassOnce() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = className;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

void sendMouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

} // namespace

// A borderless top-level window at the screen's origin, on top: the equivalent of the X11
// override-redirect window, placed exactly where asked.
HostWindow::HostWindow(int w, int h) : width(w), height(h) {
    registerClassOnce();
    HWND created = CreateWindowExW(WS_EX_TOPMOST, className, L"gravelix validator",
                                   WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, w, h, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
    if (created == nullptr) {
        throw std::runtime_error("cannot create a host window");
    }
    window = reinterpret_cast<std::uintptr_t>(created);
    UpdateWindow(created);
    pumpMessages();
}

HostWindow::~HostWindow() {
    destroy();
}

void* HostWindow::parentHandle() const {
    return handle(window);
}

void HostWindow::destroy() {
    if (window != 0) {
        DestroyWindow(handle(window));
        pumpMessages();
        window = 0;
    }
}

void HostWindow::resize(int w, int h) {
    if (window != 0 && w > 0 && h > 0) {
        SetWindowPos(handle(window), nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER);
        pumpMessages();
        width = w;
        height = h;
    }
}

// What is on the screen inside the window, so the editor's child window is included.
std::vector<std::uint32_t> HostWindow::capture() {
    std::vector<std::uint32_t> pixels;
    if (window == 0) {
        return pixels;
    }
    pumpMessages();
    POINT origin{0, 0};
    ClientToScreen(handle(window), &origin);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY);
        GdiFlush();
        const auto* row = static_cast<const std::uint32_t*>(bits);
        pixels.reserve(std::size_t(width) * std::size_t(height));
        for (std::size_t i = 0; i < std::size_t(width) * std::size_t(height); ++i) {
            pixels.push_back(row[i] & 0xFFFFFFu);
        }
        SelectObject(memory, previous);
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

void HostWindow::moveTo(int x, int y) {
    POINT p{x, y};
    ClientToScreen(handle(window), &p);
    SetCursorPos(p.x, p.y);
    // A zero relative move makes sure the move arrives as input, not only as a new position.
    sendMouse(MOUSEEVENTF_MOVE);
    sync();
}

void HostWindow::button(bool down) {
    sendMouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
    sync();
}

void HostWindow::sync() {
    // Input travels through the system before it is queued for our thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    pumpMessages();
}

bool displayAvailable() {
    return true;
}

bool editorSize(Session& s, int& width, int& height) {
    ERect* r = nullptr;
    s.dispatch(effEditGetRect, 0, 0, &r);
    if (r == nullptr) {
        return false;
    }
    width = r->right - r->left;
    height = r->bottom - r->top;
    return width > 0 && height > 0 && width < 10000 && height < 10000;
}

// A Windows host runs its message loop between idle calls: the editor's window messages
// (input, paint, timers) arrive there, not inside effEditIdle.
void pumpIdle(Session& s, HostWindow* /*w*/, int count, int pauseMs) {
    for (int i = 0; i < count; ++i) {
        pumpMessages();
        s.dispatch(effEditIdle);
        if (pauseMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
    }
    pumpMessages();
}

} // namespace gravelix::validator

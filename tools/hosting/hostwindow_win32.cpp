// The Windows HostWindow: a fixed-size top-level Win32 window. Its pump dispatches every
// message of the thread, so the editor's child window is served by it too.
#include "hostwindow.h"

#include <wincodec.h>
#include <windows.h>

#include <algorithm>
#include <stdexcept>

namespace gravelix::host {

namespace {

constexpr wchar_t kClassName[] = L"GravelixHostWindow";
constexpr DWORD kFramedStyle =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// The X11 override-redirect window's equivalent: no frame, exactly where asked, on top.
constexpr DWORD kBareStyle = WS_POPUP | WS_CLIPCHILDREN;
constexpr int kLeft = 20, kTop = 20; // on the primary screen, so capture() sees it

HWND handle(std::uintptr_t window) {
    return reinterpret_cast<HWND>(window);
}

LRESULT CALLBACK hostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        // The window stays until the editor in it is closed; the pump reports the request.
        if (auto* closed = reinterpret_cast<bool*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
            *closed = true;
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

// Per monitor where the system knows monitors apart: Windows then neither stretches the window
// nor tells the editor inside 96 dpi. The calls are looked up, so older systems still start it.
void HostWindow::declareDpiAware() {
    static const bool declared = [] {
        const HMODULE user32 = GetModuleHandleW(L"user32.dll");
        using SetContext = BOOL(WINAPI*)(HANDLE);
        using SetAware = BOOL(WINAPI*)();
        const auto setContext = reinterpret_cast<SetContext>(
            reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
        // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
        if (setContext && setContext(reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4)))) {
            return true;
        }
        const auto setAware = reinterpret_cast<SetAware>(
            reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDPIAware")));
        return setAware && setAware();
    }();
    (void)declared;
}

namespace {

void registerClass() {
    HostWindow::declareDpiAware();
    static const bool registered = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = hostProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = kClassName;
        return RegisterClassW(&windowClass) != 0;
    }();
    if (!registered) {
        throw std::runtime_error("cannot register the host window class");
    }
}

DWORD styleOf(HostWindow::Kind kind) {
    return kind == HostWindow::Kind::Bare ? kBareStyle : kFramedStyle;
}

// The outer size of a window whose client area is width x height.
SIZE outerSize(HostWindow::Kind kind, int width, int height) {
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, styleOf(kind), FALSE, 0);
    return {r.right - r.left, r.bottom - r.top};
}

std::wstring wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(n, 1)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), n);
    out.resize(out.size() - 1);
    return out;
}

// Absolute SendInput units that land on the centre of screen pixel (x, y).
INPUT pointerInput(int x, int y, DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(2 * x + 1, 65535, 2 * GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = MulDiv(2 * y + 1, 65535, 2 * GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    return input;
}

template <class T> void release(T*& object) {
    if (object) {
        object->Release();
    }
    object = nullptr;
}

} // namespace

HostDisplay::HostDisplay() = default;
HostDisplay::~HostDisplay() = default;

HostWindow::HostWindow(std::shared_ptr<HostDisplay> display, int width, int height,
                       const std::string& title, Kind kind)
    : display_(std::move(display)), kind_(kind), width_(std::max(width, 1)),
      height_(std::max(height, 1)) {
    registerClass();
    const SIZE outer = outerSize(kind_, width_, height_);
    const bool bare = kind_ == Kind::Bare;
    const HWND window = CreateWindowExW(
        bare ? WS_EX_TOPMOST : 0, kClassName, wide(title).c_str(), styleOf(kind_), bare ? 0 : kLeft,
        bare ? 0 : kTop, outer.cx, outer.cy, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        throw std::runtime_error("cannot create the host window");
    }
    window_ = reinterpret_cast<std::uintptr_t>(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&closed_));
    ShowWindow(window, SW_SHOWNORMAL);
    if (!bare) {
        SetForegroundWindow(window);
    }
    UpdateWindow(window);
    pump(0);
}

void HostWindow::destroy() {
    if (!destroyed_ && IsWindow(handle(window_))) {
        SetWindowLongPtrW(handle(window_), GWLP_USERDATA, 0);
        DestroyWindow(handle(window_));
        pump(0);
    }
    destroyed_ = closed_ = true;
}

void HostWindow::resize(int width, int height) {
    if (destroyed_) {
        return;
    }
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    const SIZE outer = outerSize(kind_, width_, height_);
    SetWindowPos(handle(window_), nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    pump(0);
}

bool HostWindow::pump(int timeoutMs) {
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) && timeoutMs > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeoutMs), QS_ALLINPUT);
    }
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (!destroyed_ && !IsWindow(handle(window_))) {
        destroyed_ = closed_ = true;
    }
    return !closed_;
}

bool HostWindow::hasChildren() {
    return !destroyed_ && GetWindow(handle(window_), GW_CHILD) != nullptr;
}

void HostWindow::sync() {
    pump(0);
}

void HostWindow::waitMapped() {
    mapped_ = IsWindowVisible(handle(window_)) != FALSE;
    pump(0);
}

Image HostWindow::capture() {
    if (destroyed_) {
        return {};
    }
    pump(0);
    const HWND window = handle(window_);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    // Reading the screen gives what it shows, whatever draws the editor (GDI+ into the
    // window's surface, or Direct2D presenting on its own); only the on-screen part is read.
    const int left = std::max<int>(origin.x, 0), top = std::max<int>(origin.y, 0);
    const int right = std::min<int>(origin.x + width_, GetSystemMetrics(SM_CXSCREEN));
    const int bottom = std::min<int>(origin.y + height_, GetSystemMetrics(SM_CYSCREEN));
    Image out{width_, height_, std::vector<std::uint32_t>(std::size_t(width_) * height_, 0)};
    if (right <= left || bottom <= top) {
        return out;
    }

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (memory && bitmap) {
        const HGDIOBJ old = SelectObject(memory, bitmap);
        copied = BitBlt(memory, left - origin.x, top - origin.y, right - left, bottom - top, screen,
                        left, top, SRCCOPY) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (copied) {
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        for (int row = top - origin.y; row < bottom - origin.y; ++row) {
            for (int col = left - origin.x; col < right - origin.x; ++col) {
                const std::size_t i = static_cast<std::size_t>(row) * width_ + col;
                out.pixels[i] = pixels[i] & 0xFFFFFFu; // 0x00RRGGBB already
            }
        }
    }
    if (bitmap) {
        DeleteObject(bitmap);
    }
    if (memory) {
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    if (!copied) {
        throw std::runtime_error("cannot read the window's pixels from the screen");
    }
    return out;
}

void HostWindow::click(int x, int y) {
    POINT at{x, y};
    ClientToScreen(handle(window_), &at);
    INPUT inputs[] = {pointerInput(at.x, at.y, 0), pointerInput(at.x, at.y, MOUSEEVENTF_LEFTDOWN),
                      pointerInput(at.x, at.y, MOUSEEVENTF_LEFTUP),
                      pointerInput(at.x - x + width_ + 40, at.y - y + height_ + 40, 0)};
    if (SendInput(4, inputs, sizeof(INPUT)) != 4) {
        throw std::runtime_error("cannot send mouse input to the window");
    }
    pump(0);
}

void HostWindow::moveTo(int x, int y) {
    if (destroyed_) {
        return;
    }
    POINT at{x, y};
    ClientToScreen(handle(window_), &at);
    INPUT input = pointerInput(at.x, at.y, 0);
    SendInput(1, &input, sizeof input);
    // Input travels through the system before it is queued for this thread.
    Sleep(10);
    pump(0);
}

void HostWindow::button(bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof input);
    // Input travels through the system before it is queued for this thread.
    Sleep(10);
    pump(0);
}

void writePng(const std::string& path, const Image& image) {
    // The Windows Imaging Component's PNG encoder, from 24-bit BGR rows.
    const int width = image.width, height = image.height;
    const UINT stride = static_cast<UINT>((width * 3 + 3) & ~3);
    std::vector<BYTE> rows(static_cast<std::size_t>(stride) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = image.pixels[static_cast<std::size_t>(y) * width + x];
            BYTE* out = &rows[static_cast<std::size_t>(y) * stride + x * 3];
            out[0] = static_cast<BYTE>(p);
            out[1] = static_cast<BYTE>(p >> 8);
            out[2] = static_cast<BYTE>(p >> 16);
        }
    }

    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IWICImagingFactory* factory = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    IPropertyBag2* options = nullptr;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(hr)) {
        hr = factory->CreateStream(&stream);
    }
    if (SUCCEEDED(hr)) {
        hr = stream->InitializeFromFilename(wide(path).c_str(), GENERIC_WRITE);
    }
    if (SUCCEEDED(hr)) {
        hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    }
    if (SUCCEEDED(hr)) {
        hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
    }
    if (SUCCEEDED(hr)) {
        hr = encoder->CreateNewFrame(&frame, &options);
    }
    if (SUCCEEDED(hr)) {
        hr = frame->Initialize(options);
    }
    if (SUCCEEDED(hr)) {
        hr = frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height));
    }
    if (SUCCEEDED(hr)) {
        hr = frame->SetPixelFormat(&format);
    }
    if (SUCCEEDED(hr) && !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) {
        hr = E_FAIL; // the encoder wants another layout: never the case for PNG
    }
    if (SUCCEEDED(hr)) {
        hr = frame->WritePixels(static_cast<UINT>(height), stride, static_cast<UINT>(rows.size()),
                                rows.data());
    }
    if (SUCCEEDED(hr)) {
        hr = frame->Commit();
    }
    if (SUCCEEDED(hr)) {
        hr = encoder->Commit();
    }
    release(options);
    release(frame);
    release(encoder);
    release(stream);
    release(factory);
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    if (FAILED(hr)) {
        throw std::runtime_error("cannot write '" + path + "'");
    }
}

} // namespace gravelix::host

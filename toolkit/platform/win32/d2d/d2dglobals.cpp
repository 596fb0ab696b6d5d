#include "d2dglobals.h"

#include <mutex>

namespace Toolkit::Win32Platform {

namespace {
// {06152247-6F50-465A-9245-118BFD3B6007}
constexpr GUID factoryInterface = {
    0x06152247, 0x6f50, 0x465a, {0x92, 0x45, 0x11, 0x8b, 0xfd, 0x3b, 0x60, 0x07}};
// {B859EE5A-D838-4B5B-A2E8-1ADC7D93DB48}
constexpr GUID writeFactoryInterface = {
    0xb859ee5a, 0xd838, 0x4b5b, {0xa2, 0xe8, 0x1a, 0xdc, 0x7d, 0x93, 0xdb, 0x48}};
// {CACAF262-9370-4615-A13B-9F5539DA4C0A}
constexpr GUID imagingFactoryClass = {
    0xcacaf262, 0x9370, 0x4615, {0xa1, 0x3b, 0x9f, 0x55, 0x39, 0xda, 0x4c, 0x0a}};
// {EC5EC8A9-C395-4314-9C77-54D7A935FF70}
constexpr GUID imagingFactoryInterface = {
    0xec5ec8a9, 0xc395, 0x4314, {0x9c, 0x77, 0x54, 0xd7, 0xa9, 0x35, 0xff, 0x70}};

using CreateFactoryFunction = HRESULT(WINAPI*)(D2D1_FACTORY_TYPE, REFIID,
                                               const D2D1_FACTORY_OPTIONS*, void**);
using CreateWriteFactoryFunction = HRESULT(WINAPI*)(DWRITE_FACTORY_TYPE, REFIID, IUnknown**);

std::once_flag started;
ID2D1Factory* d2dFactory = nullptr;
IDWriteFactory* dwriteFactory = nullptr;

std::once_flag imagingMade;
IWICImagingFactory* wicFactory = nullptr;

template <class Function> Function exported(HMODULE library, const char* name) {
    // GetProcAddress answers a generic function pointer; the cast names the real signature.
    return library
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)))
               : nullptr;
}

void load() {
    HMODULE d2d = LoadLibraryW(L"d2d1.dll");
    if (auto create = exported<CreateFactoryFunction>(d2d, "D2D1CreateFactory")) {
        void* made = nullptr;
        if (SUCCEEDED(create(D2D1_FACTORY_TYPE_MULTI_THREADED, factoryInterface, nullptr, &made))) {
            d2dFactory = static_cast<ID2D1Factory*>(made);
        }
    } else if (d2d) {
        FreeLibrary(d2d);
    }
    HMODULE dwrite = LoadLibraryW(L"dwrite.dll");
    if (auto create = exported<CreateWriteFactoryFunction>(dwrite, "DWriteCreateFactory")) {
        IUnknown* made = nullptr;
        if (SUCCEEDED(create(DWRITE_FACTORY_TYPE_SHARED, writeFactoryInterface, &made))) {
            dwriteFactory = static_cast<IDWriteFactory*>(static_cast<void*>(made));
        }
    } else if (dwrite) {
        FreeLibrary(dwrite);
    }
    // The libraries stay loaded for the factories, which live until the process ends.
}
} // namespace

bool D2DGlobals::start() {
    std::call_once(started, load);
    return d2dFactory != nullptr;
}

ID2D1Factory* D2DGlobals::factory() {
    start();
    return d2dFactory;
}

IDWriteFactory* D2DGlobals::writeFactory() {
    start();
    return dwriteFactory;
}

namespace {
thread_local IWICImagingFactory* threadWicFactory = nullptr;
} // namespace

void D2DGlobals::beginThreadImagingFactory() {
    if (threadWicFactory) {
        return;
    }
    void* made = nullptr;
    if (SUCCEEDED(CoCreateInstance(imagingFactoryClass, nullptr, CLSCTX_INPROC_SERVER,
                                   imagingFactoryInterface, &made))) {
        threadWicFactory = static_cast<IWICImagingFactory*>(made);
    }
}

void D2DGlobals::endThreadImagingFactory() {
    if (threadWicFactory) {
        threadWicFactory->Release();
        threadWicFactory = nullptr;
    }
}

IWICImagingFactory* D2DGlobals::imagingFactory() {
    if (threadWicFactory) {
        return threadWicFactory;
    }
    std::call_once(imagingMade, [] {
        // The factory outlives every window, so it must not depend on the window class's
        // OleInitialize: the last OleUninitialize would unload the codec library under it.
        // This initialisation is kept for the life of the process (a host thread that is
        // already initialised just counts one more).
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        void* made = nullptr;
        if (SUCCEEDED(CoCreateInstance(imagingFactoryClass, nullptr, CLSCTX_INPROC_SERVER,
                                       imagingFactoryInterface, &made))) {
            wicFactory = static_cast<IWICImagingFactory*>(made);
        }
    });
    return wicFactory;
}

} // namespace Toolkit::Win32Platform

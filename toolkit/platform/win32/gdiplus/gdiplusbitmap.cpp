#include "gdiplusbitmap.h"

#include "gdiplusglobals.h"
#include "graphics/decodedimagecache.h"
#include "window/modulehandle.h"

#include <atomic>
#include <string>

namespace Toolkit::Win32Platform {

namespace {
DecodedImageCache& decodedImages() {
    static DecodedImageCache cache;
    return cache;
}

std::atomic<bool> partsKept{true};
} // namespace

GdiplusBitmap::GdiplusBitmap() {
    GDIPlusGlobals::acquire();
}

GdiplusBitmap::GdiplusBitmap(int w, int h) {
    GDIPlusGlobals::acquire();
    if (w < 1 || h < 1 || w > 32767 || h > 32767) {
        return;
    }
    own.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0u); // transparent
    if (Gdip::GdipCreateBitmapFromScan0(w, h, w * 4, PixelFormat32bppARGB,
                                        reinterpret_cast<BYTE*>(own.data()),
                                        &bitmap) != Gdiplus::Ok) {
        bitmap = nullptr;
        own.clear();
        return;
    }
    width = static_cast<UINT>(w);
    height = static_cast<UINT>(h);
}

GdiplusBitmap::~GdiplusBitmap() {
    if (bitmap) {
        Gdip::GdipDisposeImage(bitmap);
    }
    GDIPlusGlobals::release();
}

bool GdiplusBitmap::load(const CResourceRef& resource) {
    if (bitmap) {
        return false;
    }
    const bool numeric = resource.kind() == CResourceRef::kNumeric;
    if (numeric && resource.id() >= 1 && resource.id() <= 0xFFFF) {
        auto known = std::static_pointer_cast<const Pixels>(decodedImages().find(resource.id()));
        if (known && adopt(known)) {
            return true;
        }
    }
    if (loadResourceStream(resource)) {
        if (numeric && shared) {
            decodedImages().remember(resource.id(), shared);
        }
        return true;
    }
    // Not a PNG resource: perhaps a plain bitmap resource of that id or name.
    if (numeric && resource.id() >= 1 && resource.id() <= 0xFFFF) {
        Gdip::GdipCreateBitmapFromResource(moduleHandle(), MAKEINTRESOURCEW(resource.id()),
                                           &bitmap);
    } else if (resource.kind() == CResourceRef::kNamed && !resource.name().empty()) {
        const std::string& name = resource.name();
        std::wstring wide(name.begin(), name.end());
        Gdip::GdipCreateBitmapFromResource(moduleHandle(), wide.c_str(), &bitmap);
    }
    readSize();
    return bitmap != nullptr;
}

bool GdiplusBitmap::loadFromStream(IStream* stream) {
    if (bitmap || !stream) {
        return false;
    }
    Gdiplus::GpBitmap* decoded = nullptr;
    if (Gdip::GdipCreateBitmapFromStreamICM(stream, &decoded) != Gdiplus::Ok || !decoded) {
        return false;
    }
    // GDI+ decodes lazily and keeps the stream: read the pixels now, premultiplied, so the
    // image is decoded exactly once and draws on the fast path.
    UINT w = 0;
    UINT h = 0;
    Gdip::GdipGetImageWidth(decoded, &w);
    Gdip::GdipGetImageHeight(decoded, &h);
    auto pixels = std::make_shared<Pixels>();
    bool copied = false;
    if (w > 0 && h > 0 && w <= 32767 && h <= 32767) {
        pixels->data.resize(static_cast<std::size_t>(w) * h);
        pixels->width = w;
        pixels->height = h;
        Gdiplus::BitmapData lockData{};
        lockData.Width = w;
        lockData.Height = h;
        lockData.Stride = static_cast<INT>(w * 4);
        lockData.PixelFormat = PixelFormat32bppPARGB;
        lockData.Scan0 = pixels->data.data();
        const Gdiplus::GpRect all(0, 0, static_cast<INT>(w), static_cast<INT>(h));
        // ImageLockModeUserInputBuf: GDI+ converts straight into our buffer.
        if (Gdip::GdipBitmapLockBits(
                decoded, &all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                PixelFormat32bppPARGB, &lockData) == Gdiplus::Ok) {
            copied = Gdip::GdipBitmapUnlockBits(decoded, &lockData) == Gdiplus::Ok;
        }
    }
    Gdip::GdipDisposeImage(decoded);
    return copied && adopt(std::move(pixels));
}

bool GdiplusBitmap::adopt(std::shared_ptr<const Pixels> pixels) {
    if (bitmap || !pixels) {
        return false;
    }
    // GDI+ only reads an image made over outside memory unless someone draws into it, which
    // this toolkit does only with the bitmaps it makes empty.
    auto* scan0 = reinterpret_cast<BYTE*>(const_cast<std::uint32_t*>(pixels->data.data()));
    if (Gdip::GdipCreateBitmapFromScan0(static_cast<INT>(pixels->width),
                                        static_cast<INT>(pixels->height),
                                        static_cast<INT>(pixels->width * 4), PixelFormat32bppPARGB,
                                        scan0, &bitmap) != Gdiplus::Ok) {
        bitmap = nullptr;
        return false;
    }
    shared = std::move(pixels);
    readSize();
    return true;
}

void GdiplusBitmap::readSize() {
    width = 0;
    height = 0;
    if (!bitmap) {
        return;
    }
    Gdip::GdipGetImageWidth(bitmap, &width);
    Gdip::GdipGetImageHeight(bitmap, &height);
}

CPoint GdiplusBitmap::size() const {
    return {static_cast<double>(width), static_cast<double>(height)};
}

bool GdiplusBitmap::isKindOf(const char* className) const {
    return nameIs(className, "GdiplusBitmap") || Win32BitmapBase::isKindOf(className);
}

std::shared_ptr<const GdiplusBitmap::Resampled>
GdiplusBitmap::resampled(const ScaledImageKey& key,
                         const std::function<std::shared_ptr<Resampled>()>& make) const {
    if (!shared || !partsKept.load(std::memory_order_relaxed)) {
        return nullptr;
    }
    return shared->resampled.acquire(key, make);
}

std::size_t GdiplusBitmap::resampledBytes() {
    return ScaledImageCache<Resampled>::bytesInProcess();
}

void GdiplusBitmap::keepResampledParts(bool keep) {
    partsKept.store(keep, std::memory_order_relaxed);
}

std::size_t GdiplusBitmap::sharedImageCount() {
    return decodedImages().aliveCount();
}

} // namespace Toolkit::Win32Platform

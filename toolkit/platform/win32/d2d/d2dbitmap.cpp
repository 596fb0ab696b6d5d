#include "d2dbitmap.h"

#include "d2dbitmapcache.h"
#include "d2dglobals.h"
#include "graphics/decodedimagecache.h"

namespace Toolkit::Win32Platform {

namespace {
// {6FDDC324-4E03-4BFE-B185-3D77768DC910}: 32-bit premultiplied BGRA.
constexpr GUID premultipliedBgra = {
    0x6fddc324, 0x4e03, 0x4bfe, {0xb1, 0x85, 0x3d, 0x77, 0x76, 0x8d, 0xc9, 0x10}};

DecodedImageCache& decodedImages() {
    static DecodedImageCache cache;
    return cache;
}
} // namespace

D2DBitmap::D2DBitmap(int w, int h) {
    IWICImagingFactory* imaging = D2DGlobals::imagingFactory();
    if (!imaging || w < 1 || h < 1 || w > 32767 || h > 32767) {
        return;
    }
    auto made = std::make_shared<Image>();
    // Imaging bitmaps start zeroed: transparent.
    if (FAILED(imaging->CreateBitmap(static_cast<UINT>(w), static_cast<UINT>(h), premultipliedBgra,
                                     WICBitmapCacheOnLoad, made->pixels.GetAddressOf()))) {
        return;
    }
    made->width = static_cast<UINT>(w);
    made->height = static_cast<UINT>(h);
    image = std::move(made);
}

D2DBitmap::~D2DBitmap() {
    D2DBitmapCache::forgetBitmap(this);
}

bool D2DBitmap::load(const CResourceRef& resource) {
    if (image) {
        return true;
    }
    const bool numeric = resource.kind() == CResourceRef::kNumeric;
    if (numeric) {
        image = std::static_pointer_cast<const Image>(decodedImages().find(resource.id()));
        if (image) {
            return true;
        }
    }
    if (!loadResourceStream(resource)) {
        return false;
    }
    if (numeric) {
        decodedImages().remember(resource.id(), image);
    }
    return true;
}

bool D2DBitmap::loadFromStream(IStream* stream) {
    if (image) {
        return true;
    }
    IWICImagingFactory* imaging = D2DGlobals::imagingFactory();
    if (!imaging || !stream) {
        return false;
    }
    ComPtr<IWICStream> wicStream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    auto decoded = std::make_shared<Image>();
    // Converted into a bitmap of its own right away: decoded once, and nothing keeps the
    // stream or the decoder.
    if (FAILED(imaging->CreateStream(wicStream.GetAddressOf())) ||
        FAILED(wicStream->InitializeFromIStream(stream)) ||
        FAILED(imaging->CreateDecoderFromStream(
            wicStream.Get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.GetAddressOf())) ||
        FAILED(decoder->GetFrame(0, frame.GetAddressOf())) ||
        FAILED(frame->GetSize(&decoded->width, &decoded->height)) ||
        FAILED(imaging->CreateFormatConverter(converter.GetAddressOf())) ||
        FAILED(converter->Initialize(frame.Get(), premultipliedBgra, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom)) ||
        FAILED(imaging->CreateBitmapFromSource(converter.Get(), WICBitmapCacheOnLoad,
                                               decoded->pixels.GetAddressOf()))) {
        return false;
    }
    image = std::move(decoded);
    return true;
}

IWICBitmap* D2DBitmap::source() const {
    return image ? image->pixels.Get() : nullptr;
}

CPoint D2DBitmap::size() const {
    if (!image) {
        return {};
    }
    return {static_cast<double>(image->width), static_cast<double>(image->height)};
}

bool D2DBitmap::isKindOf(const char* className) const {
    return nameIs(className, "D2DBitmap") || Win32BitmapBase::isKindOf(className);
}

std::size_t D2DBitmap::sharedImageCount() {
    return decodedImages().aliveCount();
}

} // namespace Toolkit::Win32Platform

// Guards against the Direct2D back-end uploading an image or copying a filmstrip picture on every
// draw, keeping device bitmaps of dead targets or stale pixels, or going on with a target the
// device has lost.
#include "cbitmap.h"
#include "d2d/d2dbitmap.h"
#include "d2d/d2dbitmapcache.h"
#include "d2d/d2doffscreencontext.h"
#include "doublesizevariant.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace Toolkit;
using namespace Toolkit::Win32Platform;
using namespace graphicstest;

namespace {

// Premultiplied 0xAARRGGBB pixels of a Direct2D bitmap's decoded image.
std::vector<std::uint32_t> pixelsOf(const D2DBitmap& bitmap, int x, int y, int width, int height) {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width * height));
    const WICRect area{x, y, width, height};
    EXPECT_TRUE(bitmap.source());
    if (bitmap.source()) {
        EXPECT_EQ(bitmap.source()->CopyPixels(&area, static_cast<UINT>(width * 4),
                                              static_cast<UINT>(out.size() * 4),
                                              reinterpret_cast<BYTE*>(out.data())),
                  S_OK);
    }
    return out;
}

D2DBitmap* d2dOf(CBitmap* bitmap) {
    return static_cast<D2DBitmap*>(bitmap->platformBitmap());
}

CBitmap* blank(int width, int height) {
    auto* image = new D2DBitmap(width, height);
    auto* bitmap = new CBitmap(image);
    image->releaseReference();
    return bitmap;
}

CBitmap* resource(int id) {
    auto* image = new D2DBitmap();
    EXPECT_TRUE(image->load(CResourceRef(id)));
    auto* bitmap = new CBitmap(image);
    image->releaseReference();
    return bitmap;
}

// An offscreen context on a new transparent bitmap.
struct Canvas {
    CBitmap* bitmap;
    D2DOffscreenContext* context;

    Canvas(int width, int height) : bitmap(blank(width, height)) {
        context = new D2DOffscreenContext(bitmap);
    }
    Canvas(int width, int height, RenderTargetMaker maker) : bitmap(blank(width, height)) {
        context = new D2DOffscreenContext(bitmap, std::move(maker));
    }
    ~Canvas() {
        context->releaseReference();
        bitmap->releaseReference();
    }
    void draw(CBitmap* image, int times = 1) {
        context->beginDraw();
        for (int i = 0; i < times; ++i) {
            context->drawBitmap(image, CRect(0, 0, image->width(), image->height()), CPoint(),
                                1.0f);
        }
        context->endDraw();
    }
};

// A render target that accepts everything, draws nothing, and answers every EndDraw with
// D2DERR_RECREATE_TARGET, as one whose device has been lost.
class LostTarget : public ID2D1RenderTarget {
public:
    ULONG references = 1;
    int endDraws = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    void STDMETHODCALLTYPE GetFactory(ID2D1Factory** factory) const override { *factory = nullptr; }
    HRESULT STDMETHODCALLTYPE CreateBitmap(D2D1_SIZE_U, const void*, UINT32,
                                           const D2D1_BITMAP_PROPERTIES*, ID2D1Bitmap**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateBitmapFromWicBitmap(IWICBitmapSource*,
                                                        const D2D1_BITMAP_PROPERTIES*,
                                                        ID2D1Bitmap**) override {
        return D2DERR_RECREATE_TARGET;
    }
    HRESULT STDMETHODCALLTYPE CreateSharedBitmap(REFIID, void*, const D2D1_BITMAP_PROPERTIES*,
                                                 ID2D1Bitmap**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateBitmapBrush(ID2D1Bitmap*, const D2D1_BITMAP_BRUSH_PROPERTIES*,
                                                const D2D1_BRUSH_PROPERTIES*,
                                                ID2D1BitmapBrush**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateSolidColorBrush(const D2D1_COLOR_F*,
                                                    const D2D1_BRUSH_PROPERTIES*,
                                                    ID2D1SolidColorBrush**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateGradientStopCollection(const D2D1_GRADIENT_STOP*, UINT,
                                                           D2D1_GAMMA, D2D1_EXTEND_MODE,
                                                           ID2D1GradientStopCollection**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateLinearGradientBrush(
        const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES*, const D2D1_BRUSH_PROPERTIES*,
        ID2D1GradientStopCollection*, ID2D1LinearGradientBrush**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateRadialGradientBrush(
        const D2D1_RADIAL_GRADIENT_BRUSH_PROPERTIES*, const D2D1_BRUSH_PROPERTIES*,
        ID2D1GradientStopCollection*, ID2D1RadialGradientBrush**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateCompatibleRenderTarget(const D2D1_SIZE_F*, const D2D1_SIZE_U*,
                                                           const D2D1_PIXEL_FORMAT*,
                                                           D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS,
                                                           ID2D1BitmapRenderTarget**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateLayer(const D2D1_SIZE_F*, ID2D1Layer**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateMesh(ID2D1Mesh**) override { return E_NOTIMPL; }
    void STDMETHODCALLTYPE DrawLine(D2D1_POINT_2F, D2D1_POINT_2F, ID2D1Brush*, FLOAT,
                                    ID2D1StrokeStyle*) override {}
    void STDMETHODCALLTYPE DrawRectangle(const D2D1_RECT_F*, ID2D1Brush*, FLOAT,
                                         ID2D1StrokeStyle*) override {}
    void STDMETHODCALLTYPE FillRectangle(const D2D1_RECT_F*, ID2D1Brush*) override {}
    void STDMETHODCALLTYPE DrawRoundedRectangle(const D2D1_ROUNDED_RECT*, ID2D1Brush*, FLOAT,
                                                ID2D1StrokeStyle*) override {}
    void STDMETHODCALLTYPE FillRoundedRectangle(const D2D1_ROUNDED_RECT*, ID2D1Brush*) override {}
    void STDMETHODCALLTYPE DrawEllipse(const D2D1_ELLIPSE*, ID2D1Brush*, FLOAT,
                                       ID2D1StrokeStyle*) override {}
    void STDMETHODCALLTYPE FillEllipse(const D2D1_ELLIPSE*, ID2D1Brush*) override {}
    void STDMETHODCALLTYPE DrawGeometry(ID2D1Geometry*, ID2D1Brush*, FLOAT,
                                        ID2D1StrokeStyle*) override {}
    void STDMETHODCALLTYPE FillGeometry(ID2D1Geometry*, ID2D1Brush*, ID2D1Brush*) override {}
    void STDMETHODCALLTYPE FillMesh(ID2D1Mesh*, ID2D1Brush*) override {}
    void STDMETHODCALLTYPE FillOpacityMask(ID2D1Bitmap*, ID2D1Brush*, D2D1_OPACITY_MASK_CONTENT,
                                           const D2D1_RECT_F*, const D2D1_RECT_F*) override {}
    void STDMETHODCALLTYPE DrawBitmap(ID2D1Bitmap*, const D2D1_RECT_F*, FLOAT,
                                      D2D1_BITMAP_INTERPOLATION_MODE, const D2D1_RECT_F*) override {
    }
    void STDMETHODCALLTYPE DrawText(const WCHAR*, UINT, IDWriteTextFormat*, const D2D1_RECT_F*,
                                    ID2D1Brush*, D2D1_DRAW_TEXT_OPTIONS,
                                    DWRITE_MEASURING_MODE) override {}
    void STDMETHODCALLTYPE DrawTextLayout(D2D1_POINT_2F, IDWriteTextLayout*, ID2D1Brush*,
                                          D2D1_DRAW_TEXT_OPTIONS) override {}
    void STDMETHODCALLTYPE DrawGlyphRun(D2D1_POINT_2F, const DWRITE_GLYPH_RUN*, ID2D1Brush*,
                                        DWRITE_MEASURING_MODE) override {}
    void STDMETHODCALLTYPE SetTransform(const D2D1_MATRIX_3X2_F*) override {}
    void STDMETHODCALLTYPE GetTransform(D2D1_MATRIX_3X2_F*) const override {}
    void STDMETHODCALLTYPE SetAntialiasMode(D2D1_ANTIALIAS_MODE) override {}
    D2D1_ANTIALIAS_MODE STDMETHODCALLTYPE GetAntialiasMode() const override {
        return D2D1_ANTIALIAS_MODE_ALIASED;
    }
    void STDMETHODCALLTYPE SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE) override {}
    D2D1_TEXT_ANTIALIAS_MODE STDMETHODCALLTYPE GetTextAntialiasMode() const override {
        return D2D1_TEXT_ANTIALIAS_MODE_DEFAULT;
    }
    void STDMETHODCALLTYPE SetTextRenderingParams(IDWriteRenderingParams*) override {}
    void STDMETHODCALLTYPE GetTextRenderingParams(IDWriteRenderingParams** params) const override {
        *params = nullptr;
    }
    void STDMETHODCALLTYPE SetTags(D2D1_TAG, D2D1_TAG) override {}
    void STDMETHODCALLTYPE GetTags(D2D1_TAG*, D2D1_TAG*) const override {}
    void STDMETHODCALLTYPE PushLayer(const D2D1_LAYER_PARAMETERS*, ID2D1Layer*) override {}
    void STDMETHODCALLTYPE PopLayer() override {}
    HRESULT STDMETHODCALLTYPE Flush(D2D1_TAG*, D2D1_TAG*) override {
        return D2DERR_RECREATE_TARGET;
    }
    void STDMETHODCALLTYPE SaveDrawingState(ID2D1DrawingStateBlock*) const override {}
    void STDMETHODCALLTYPE RestoreDrawingState(ID2D1DrawingStateBlock*) override {}
    void STDMETHODCALLTYPE PushAxisAlignedClip(const D2D1_RECT_F*, D2D1_ANTIALIAS_MODE) override {}
    void STDMETHODCALLTYPE PopAxisAlignedClip() override {}
    void STDMETHODCALLTYPE Clear(const D2D1_COLOR_F*) override {}
    void STDMETHODCALLTYPE BeginDraw() override {}
    HRESULT STDMETHODCALLTYPE EndDraw(D2D1_TAG*, D2D1_TAG*) override {
        ++endDraws;
        return D2DERR_RECREATE_TARGET;
    }
    D2D1_PIXEL_FORMAT* STDMETHODCALLTYPE GetPixelFormat(D2D1_PIXEL_FORMAT* format) const override {
        *format = {};
        return format;
    }
    void STDMETHODCALLTYPE SetDpi(FLOAT, FLOAT) override {}
    void STDMETHODCALLTYPE GetDpi(FLOAT* x, FLOAT* y) const override { *x = *y = 96.0f; }
    D2D1_SIZE_F* STDMETHODCALLTYPE GetSize(D2D1_SIZE_F* size) const override {
        *size = {};
        return size;
    }
    D2D1_SIZE_U* STDMETHODCALLTYPE GetPixelSize(D2D1_SIZE_U* size) const override {
        *size = {};
        return size;
    }
    UINT32 STDMETHODCALLTYPE GetMaximumBitmapSize() const override { return 0; }
    BOOL STDMETHODCALLTYPE IsSupported(const D2D1_RENDER_TARGET_PROPERTIES*) const override {
        return FALSE;
    }
};

} // namespace

TEST(D2DBitmapCache, UploadsEachBitmapOncePerTargetAndForgetsWhatIsGone) {
    CBitmap* led = resource(4);
    CBitmap* knob = resource(1);
    auto* first = new Canvas(32, 64);
    auto* second = new Canvas(32, 64);
    ASSERT_NE(first->context->renderTarget(), nullptr);
    ASSERT_NE(second->context->renderTarget(), nullptr);
    const std::size_t uploads = D2DBitmapCache::uploads();
    const std::size_t held = D2DBitmapCache::size();

    first->draw(led, 3);
    first->draw(led, 2); // a later paint of the same target
    EXPECT_EQ(D2DBitmapCache::uploads(), uploads + 1);
    second->draw(led);
    first->draw(knob);
    EXPECT_EQ(D2DBitmapCache::uploads(), uploads + 3);
    EXPECT_EQ(D2DBitmapCache::size(), held + 3);

    // A bitmap that goes takes its device copies with it, on every target...
    led->releaseReference();
    EXPECT_EQ(D2DBitmapCache::size(), held + 1);
    // ...and so does a context's target.
    delete first;
    EXPECT_EQ(D2DBitmapCache::size(), held);
    delete second;
    knob->releaseReference();
}

TEST(D2DBitmapCache, KeepsEachFilmstripPictureCopiedAloneForLaterPaintsOfItsTarget) {
    CBitmap* knob = resource(1);
    auto* canvas = new Canvas(200, 200);
    canvas->context->setScaleFactor(1.5);
    const std::size_t before = D2DBitmapCache::windows();
    auto frame = [&](int picture) {
        canvas->context->beginDraw();
        canvas->context->drawBitmap(knob, CRect(0, 0, 119, 119), CPoint(0, 119.0 * picture), 1.0f);
        canvas->context->endDraw();
    };
    frame(5);
    frame(5);
    EXPECT_EQ(D2DBitmapCache::windows(), before + 1);
    frame(6);
    EXPECT_EQ(D2DBitmapCache::windows(), before + 2);
    // Bounded: a knob turned through every picture many times keeps at most kWindowsKept.
    for (int picture = 0; picture < 45; ++picture) {
        frame(picture);
    }
    EXPECT_LE(D2DBitmapCache::windows(), before + D2DBitmapCache::kWindowsKept);
    // They go with their target.
    delete canvas;
    EXPECT_EQ(D2DBitmapCache::windows(), before);
    knob->releaseReference();
}

TEST(D2DBitmapCache, AnImageDrawnIntoIsUploadedAfreshWithItsNewPixels) {
    Canvas painted(4, 4);
    Canvas viewer(4, 4);
    // Fills the painted image with `colour` and answers a pixel of the viewer drawing it.
    const auto paintAndView = [&](const CColor& colour) {
        painted.context->beginDraw();
        painted.context->setFillColor(colour);
        painted.context->drawRect(CRect(0, 0, 4, 4), kDrawFilled);
        painted.context->endDraw();
        viewer.draw(painted.bitmap);
        return pixelsOf(*d2dOf(viewer.bitmap), 1, 1, 1, 1)[0];
    };
    EXPECT_EQ(paintAndView(CColor(255, 0, 0, 255)), 0xFFFF0000u);
    EXPECT_EQ(paintAndView(CColor(0, 0, 255, 255)), 0xFF0000FFu);
}

TEST(D2DDrawing, ALostTargetIsReleasedAndRecreatedForTheSameBitmap) {
    LostTarget lost;
    int made = 0;
    CBitmap* drawnInto = nullptr;
    auto maker = [&]() -> ID2D1RenderTarget* {
        if (made++ == 0) {
            lost.AddRef();
            return &lost;
        }
        return D2DOffscreenContext::makeBitmapTarget(drawnInto);
    };
    Canvas recreated(4, 4, maker);
    drawnInto = recreated.bitmap;
    ASSERT_EQ(recreated.context->renderTarget(), &lost);

    recreated.context->beginDraw();
    recreated.context->drawRect(CRect(0, 0, 4, 4), kDrawFilled);
    recreated.context->endDraw();
    EXPECT_EQ(lost.endDraws, 1);
    EXPECT_EQ(recreated.context->lastEndDraw(), static_cast<HRESULT>(D2DERR_RECREATE_TARGET));
    EXPECT_EQ(lost.references, 1u); // our own: the context let go of it
    EXPECT_EQ(made, 2);
    ASSERT_NE(recreated.context->renderTarget(), nullptr);
    EXPECT_NE(recreated.context->renderTarget(), &lost);

    // The new target draws into the same bitmap.
    recreated.context->beginDraw();
    recreated.context->setFillColor(CColor(0, 255, 0, 255));
    recreated.context->drawRect(CRect(0, 0, 4, 4), kDrawFilled);
    recreated.context->endDraw();
    EXPECT_EQ(recreated.context->lastEndDraw(), S_OK);
    EXPECT_EQ(pixelsOf(*d2dOf(recreated.bitmap), 2, 2, 1, 1)[0], 0xFF00FF00u);
    EXPECT_EQ(lost.endDraws, 1);
}

TEST(D2DDrawing, AKnobFrameComesFromItsFilmstripOffsetAtTheContextOffset) {
    CBitmap* knob = resource(1);
    ASSERT_EQ(knob->width(), 119.0);
    ASSERT_EQ(knob->height(), 119.0 * 45);
    for (int frame : {0, 7, 44}) {
        Canvas canvas(129, 139);
        canvas.context->beginDraw();
        canvas.context->setOffset(CPoint(10, 20));
        canvas.context->drawBitmap(knob, CRect(0, 0, 119, 119), CPoint(0, 119.0 * frame), 1.0f);
        canvas.context->endDraw();
        const auto drawn = pixelsOf(*d2dOf(canvas.bitmap), 10, 20, 119, 119);
        const auto expected = pixelsOf(*d2dOf(knob), 0, 119 * frame, 119, 119);
        int differing = 0;
        for (std::size_t i = 0; i < drawn.size(); ++i) {
            for (int shift = 0; shift < 32; shift += 8) {
                differing += std::abs(int((drawn[i] >> shift) & 0xFF) -
                                      int((expected[i] >> shift) & 0xFF)) > 1;
            }
        }
        EXPECT_EQ(differing, 0) << "frame " << frame;
        EXPECT_EQ(pixelsOf(*d2dOf(canvas.bitmap), 9, 19, 1, 1)[0], 0u); // outside: untouched
    }
    knob->releaseReference();

    // Bitmaps of one resource share its decoded pixels while any of them lives.
    const std::size_t shared = D2DBitmap::sharedImageCount();
    CBitmap* led = resource(4);
    CBitmap* again = resource(4);
    EXPECT_EQ(d2dOf(led)->source(), d2dOf(again)->source());
    EXPECT_EQ(D2DBitmap::sharedImageCount(), shared + 1);
    led->releaseReference();
    again->releaseReference();
    EXPECT_EQ(D2DBitmap::sharedImageCount(), shared);

    // An image that holds pixels keeps them; missing or undecodable resources give none.
    auto* bitmap = new D2DBitmap();
    EXPECT_FALSE(bitmap->load(CResourceRef(2)));
    EXPECT_FALSE(bitmap->load(CResourceRef(3)));
    EXPECT_EQ(bitmap->size().x, 0.0);
    EXPECT_TRUE(bitmap->load(CResourceRef(4)));
    EXPECT_TRUE(bitmap->load(CResourceRef(1)));
    EXPECT_EQ(bitmap->size().y, 64.0);
    bitmap->releaseReference();
}

namespace {
// A bitmap whose decoded image has `colour(x, y)` (premultiplied, opaque here) everywhere.
template <class Colour> CBitmap* painted(int width, int height, Colour colour) {
    const std::vector<std::uint32_t> pixels = pixelsOfColour(width, height, colour);
    CBitmap* bitmap = blank(width, height);
    IWICBitmapLock* lock = nullptr;
    IWICBitmap* image = d2dOf(bitmap)->source();
    const WICRect all{0, 0, width, height};
    EXPECT_EQ(image->Lock(&all, WICBitmapLockWrite, &lock), S_OK);
    if (lock) {
        UINT size = 0;
        BYTE* data = nullptr;
        UINT stride = 0;
        lock->GetStride(&stride);
        lock->GetDataPointer(&size, &data);
        for (int y = 0; y < height; ++y) {
            std::memcpy(data + y * stride, &pixels[std::size_t(y * width)], std::size_t(width) * 4);
        }
        lock->Release();
    }
    return bitmap;
}
} // namespace

// Above 1x the image comes from its double-size variant: exactly 2x copies the variant's pixels
// one for one, other scales filter without pulling in the neighbouring filmstrip frame.
TEST(D2DDrawing, AboveOneTimesDrawsTheDoubleSizeVariantUnfilteredAtTwoAndUnbledElsewhere) {
    CBitmap* strip = painted(2, 4, stripColour);
    CBitmap* twice = painted(4, 8, variantColour);
    ASSERT_TRUE(strip->setDoubleSizePlatformBitmap(twice->platformBitmap()));
    const auto variant = pixelsOf(*d2dOf(twice), 0, 0, 4, 8);

    {
        Canvas canvas(10, 10);
        canvas.context->setScaleFactor(2.0);
        canvas.context->beginDraw();
        canvas.context->setOffset(CPoint(0.5, 0)); // truncated away, as at 1x
        canvas.context->drawBitmap(strip, CRect(1, 1, 3, 3), CPoint(0, 2), 1.0f);
        canvas.context->endDraw();
        const auto drawn = pixelsOf(*d2dOf(canvas.bitmap), 0, 0, 10, 10);
        expectVariantCopiedAt2x(drawn, variant);
    }
    for (const double scale : {1.25, 1.5, 3.0}) {
        Canvas scaled(8, 8);
        scaled.context->setScaleFactor(scale);
        scaled.context->beginDraw();
        scaled.context->drawBitmap(strip, CRect(0, 0, 2, 2), CPoint(0, 0), 1.0f);
        scaled.context->endDraw();
        expectFirstFrameUnbled(pixelsOf(*d2dOf(scaled.bitmap), 0, 0, 8, 8), scale);
    }
    {
        Canvas plain(2, 2);
        plain.draw(strip); // 1x: the first image, never the variant
        EXPECT_EQ(pixelsOf(*d2dOf(plain.bitmap), 0, 0, 2, 2),
                  (std::vector<std::uint32_t>{0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u, 0xFFFF0000u}));
    }
    twice->releaseReference();
    strip->releaseReference();
}

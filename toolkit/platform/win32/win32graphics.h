// What the Windows window code needs of the graphics back-ends: the once-per-process choice
// between Direct2D and GDI+, and the bitmaps and contexts of the chosen one.
#pragma once

#include "cpoint.h"
#include "crect.h"

#include <windows.h>

namespace Toolkit {
class CDrawContext;
class COffscreenContext;
class IPlatformBitmap;
} // namespace Toolkit

namespace Toolkit::Win32Platform {

enum class GraphicsBackend { direct2d, gdiplus };

// Chosen on the first call and kept for the life of the process: Direct2D when d2d1.dll exports
// D2D1CreateFactory, else GDI+. GRAVELIX_GRAPHICS=gdiplus in the environment (read once, at
// that first call) forces GDI+.
GraphicsBackend graphicsBackend();

// One reference on the GDI+ globals: the first starts GDI+, the last shuts it down. The window
// class holds one from its registration to its unregistration, so GDI+ runs while any window
// of the process exists (every GDI+ bitmap holds its own as well).
void acquireGraphicsGlobals();
void releaseGraphicsGlobals();

// Each returns one reference for the caller, null on failure.
// (0, 0) gives a bitmap without an image, ready for load(); otherwise a transparent bitmap.
IPlatformBitmap* createBitmap(const CPoint& size);
// A context drawing into `window` (for WM_PAINT, between BeginPaint and EndPaint); `surface` is
// (0, 0, client width, client height). beginDraw()/endDraw() bracket the drawing.
CDrawContext* createWindowContext(HWND window, const CRect& surface);
// A new bitmap of that size plus a context drawing into it; null for sizes below 1 pixel,
// above 32767 or not a number.
COffscreenContext* createOffscreenContext(double width, double height);

} // namespace Toolkit::Win32Platform

// The process-wide Direct2D, DirectWrite and imaging factories. They are made on first need
// and kept until the process ends (never released: a release from static destruction could run
// after the libraries behind them are gone).
#pragma once

#include "d2dapi.h"

namespace Toolkit::Win32Platform {

class D2DGlobals {
public:
    // Loads d2d1.dll and dwrite.dll (once) and makes their factories; true when a Direct2D
    // factory exists. Call on the editor thread.
    static bool start();
    // Null when Direct2D is not available. Not add-referenced.
    static ID2D1Factory* factory();
    // Null when DirectWrite is not available. Not add-referenced.
    static IDWriteFactory* writeFactory();
    // The imaging factory that decodes PNGs for Direct2D, made on the first call (COM on the
    // calling thread is initialised if nobody has); null when it cannot be made.
    static IWICImagingFactory* imagingFactory();
    // A factory of the calling thread's own, which imagingFactory answers on it until
    // endThreadImagingFactory: for a thread other than the editors' that decodes, with COM
    // initialised by the caller (the process-wide factory belongs to the editors' apartment).
    static void beginThreadImagingFactory();
    static void endThreadImagingFactory();
};

} // namespace Toolkit::Win32Platform

// The Direct2D, DirectWrite and imaging headers in one place. Nothing here links d2d1.dll or
// dwrite.dll: both are loaded at run time (D2DGlobals), so the plug-in loads without them.
#pragma once

#include <objidl.h>
#include <windows.h>

#include <d2d1.h>
#include <d2derr.h>
#include <dwrite.h>
#include <wincodec.h>
#include <wrl/client.h>

namespace Toolkit::Win32Platform {
using Microsoft::WRL::ComPtr;
} // namespace Toolkit::Win32Platform

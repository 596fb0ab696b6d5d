// The GDI+ flat API with the Windows headers it needs, in one place.
#pragma once

#include <objidl.h>
#include <windows.h>

#include <gdiplus.h>

namespace Toolkit::Win32Platform {
namespace Gdip = Gdiplus::DllExports;
} // namespace Toolkit::Win32Platform

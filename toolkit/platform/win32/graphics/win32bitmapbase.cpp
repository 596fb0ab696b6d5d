#include "win32bitmapbase.h"

#include "resourcestream.h"
#include "window/modulehandle.h"

namespace Toolkit::Win32Platform {

bool Win32BitmapBase::loadResourceStream(const CResourceRef& resource) {
    ResourceStream* stream = ResourceStream::open(moduleHandle(), resource);
    if (!stream) {
        return false;
    }
    const bool decoded = loadFromStream(stream);
    stream->Release();
    return decoded;
}

} // namespace Toolkit::Win32Platform

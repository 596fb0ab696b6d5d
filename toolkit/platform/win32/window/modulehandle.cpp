#include "modulehandle.h"

namespace Toolkit::Win32Platform {

namespace {
const char anchor = 0; // any address inside this module
} // namespace

HINSTANCE moduleHandle() {
    static const HINSTANCE module = [] {
        HMODULE found = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                               GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&anchor), &found);
        return found;
    }();
    return module;
}

} // namespace Toolkit::Win32Platform

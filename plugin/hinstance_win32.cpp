#include "hinstance.h"

#include <windows.h>

void* hInstance = nullptr;

bool recordModuleHandle(const void* addressInModule) {
    HMODULE module = nullptr;
    if (addressInModule == nullptr ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(addressInModule), &module)) {
        return false;
    }
    hInstance = module;
    return true;
}

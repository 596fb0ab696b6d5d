#include "hinstance.h"

#include <dlfcn.h>

void* hInstance = nullptr;

bool recordModuleHandle(const void* addressInModule) {
    Dl_info info{};
    if (addressInModule == nullptr || dladdr(addressInModule, &info) == 0 ||
        info.dli_fbase == nullptr) {
        return false;
    }
    hInstance = info.dli_fbase;
    return true;
}

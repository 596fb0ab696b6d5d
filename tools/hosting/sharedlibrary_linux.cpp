#include "sharedlibrary.h"

#include <algorithm>
#include <dlfcn.h>

namespace gravelix::host {

void* openSharedLibrary(const std::string& path, std::string& reason, bool pinned) {
    // Without a slash dlopen would search the library path instead of opening this file.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* library = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL | (pinned ? RTLD_NODELETE : 0));
    if (!library) {
        // dlerror() text without the file name it usually starts with, on one line.
        const char* raw = dlerror();
        reason = raw ? raw : "unknown error";
        if (reason.rfind(openPath + ": ", 0) == 0) {
            reason.erase(0, openPath.size() + 2);
        }
        std::replace(reason.begin(), reason.end(), '\n', ' ');
    }
    return library;
}

void* sharedLibrarySymbol(void* library, const char* name) {
    return library ? dlsym(library, name) : nullptr;
}

void closeSharedLibrary(void* library) {
    if (library) {
        dlclose(library);
    }
}

} // namespace gravelix::host

// The platform's dynamic loader (dlopen or LoadLibrary), as the plug-in host needs it.
#pragma once

#include <string>

namespace gravelix::host {

// Opens the library file at `path` (never searched for on a library path). Null on failure,
// with the loader's reason on one line in `reason`. A pinned library stays loaded until the
// process ends, whatever closes it.
void* openSharedLibrary(const std::string& path, std::string& reason, bool pinned = false);
// The exported function of that name, or null.
void* sharedLibrarySymbol(void* library, const char* name);
void closeSharedLibrary(void* library);

} // namespace gravelix::host

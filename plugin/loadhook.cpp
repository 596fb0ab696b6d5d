// The shared object's load hook: remembers where the library lives.
#include "hinstance.h"

namespace {
// Runs when the library is loaded; any address inside the library identifies it. The hook's
// own address is used because an exported name could be bound to another module's definition.
__attribute__((constructor)) void onLibraryLoad() {
    recordModuleHandle(reinterpret_cast<const void*>(&onLibraryLoad));
}
} // namespace

// GDI+ started by its first user and shut down after its last: every GDI+ bitmap and the
// window class hold a reference.
#pragma once

namespace Toolkit::Win32Platform {

class GDIPlusGlobals {
public:
    // The first reference starts GDI+ (version 1, with its background thread).
    static void acquire();
    // The last release shuts GDI+ down; a release without a reference is ignored.
    static void release();
    // References held now; GDI+ runs while this is above 0 (and it started).
    static int references();
    static bool running();
};

} // namespace Toolkit::Win32Platform

// Linked into the programs that test the platform library directly: their frames, bitmaps and
// timers get the platform as the plug-in's do, where the editor base installs it.
#include "toolkit/platform/editorsupport.h"
#include "toolkit/platform/iplatformfactory.h"

namespace {
const bool installed = [] {
    Toolkit::setPlatformFactory(&Toolkit::EditorSupport::platformFactory());
    return true;
}();
} // namespace

#include "usersettings.h"

#include <cstdlib>

std::filesystem::path UserSettings::defaultFolder() {
    // Relative values are invalid by the XDG rules and ignored, as the rules ask.
    if (const char* config = std::getenv("XDG_CONFIG_HOME")) {
        const std::filesystem::path base(config);
        if (base.is_absolute()) {
            return base / "gravelix";
        }
    }
    if (const char* home = std::getenv("HOME")) {
        const std::filesystem::path base(home);
        if (base.is_absolute()) {
            return base / ".config" / "gravelix";
        }
    }
    return {};
}

#include "usersettings.h"

// The per-user folder (%APPDATA%\Gravelix\) is not looked up yet: no settings are kept on
// Windows, and every editor starts from the defaults.
std::filesystem::path UserSettings::defaultFolder() {
    return {};
}

#include "systemscale.h"

#include "x11connection.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace Toolkit::LinuxPlatform {

namespace {
std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// Below 48 or above 480 dpi is no screen anybody draws an editor for.
constexpr double kLowestDpi = 48.0;
constexpr double kHighestDpi = 480.0;
} // namespace

double scaleFromResourceDatabase(std::string_view database) {
    double found = 0.0;
    while (!database.empty()) {
        const std::size_t end = database.find('\n');
        std::string_view line = database.substr(0, end);
        database = end == std::string_view::npos ? std::string_view() : database.substr(end + 1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || trimmed(line.substr(0, colon)) != "Xft.dpi") {
            continue;
        }
        const std::string value(trimmed(line.substr(colon + 1)));
        char* rest = nullptr;
        errno = 0;
        const double dpi = std::strtod(value.c_str(), &rest);
        // The last entry wins, as in the resource manager itself.
        if (errno == 0 && rest != value.c_str() && *rest == '\0' && std::isfinite(dpi) &&
            dpi >= kLowestDpi && dpi <= kHighestDpi) {
            found = dpi / 96.0;
        } else {
            found = 0.0;
        }
    }
    return found;
}

double scaleFromGdkScale(const char* value) {
    if (!value || *value == '\0') {
        return 0.0;
    }
    char* rest = nullptr;
    errno = 0;
    const long scale = std::strtol(value, &rest, 10);
    if (errno != 0 || *rest != '\0' || scale < 1 || scale > 8) {
        return 0.0;
    }
    return static_cast<double>(scale);
}

double systemScale() {
    double scale = 0.0;
    if (X11Connection* connection = X11Connection::acquire()) {
        xcb_connection_t* c = connection->connection();
        const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
        if (screens.rem > 0) {
            // The database is a few kilobytes; 64 KiB (in 4-byte units) is more than enough.
            auto* reply = xcb_get_property_reply(c,
                                                 xcb_get_property(c, 0, screens.data->root,
                                                                  XCB_ATOM_RESOURCE_MANAGER,
                                                                  XCB_ATOM_STRING, 0, 16384),
                                                 nullptr);
            if (reply) {
                const int length = xcb_get_property_value_length(reply);
                if (reply->format == 8 && length > 0) {
                    scale = scaleFromResourceDatabase(
                        std::string_view(static_cast<const char*>(xcb_get_property_value(reply)),
                                         static_cast<std::size_t>(length)));
                }
                std::free(reply);
            }
        }
        connection->release();
    }
    if (!(scale > 0.0)) {
        scale = scaleFromGdkScale(std::getenv("GDK_SCALE"));
    }
    return scale > 0.0 ? scale : 1.0;
}

} // namespace Toolkit::LinuxPlatform

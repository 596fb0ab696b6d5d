// The scale a Linux desktop asks applications to draw at: Xft.dpi from the X resource database
// (what desktop settings daemons and xrdb set; 96 dpi is 1x), else an integer GDK_SCALE.
#pragma once

#include <string_view>

namespace Toolkit::LinuxPlatform {

// Xft.dpi / 96 from the text of the RESOURCE_MANAGER property; 0 when it holds no usable value.
double scaleFromResourceDatabase(std::string_view database);
// A GDK_SCALE value: a whole number from 1 up; 0 for anything else (unset, 0, "1.5", garbage).
double scaleFromGdkScale(const char* value);
// Asks the X server of DISPLAY (the first screen's resource database), then GDK_SCALE; 1 when
// neither says anything, or without a display.
double systemScale();

} // namespace Toolkit::LinuxPlatform

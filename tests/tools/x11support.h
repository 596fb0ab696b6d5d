// X11 helpers for the editor tests, kept apart because Xlib's macros clash with the test framework.
#pragma once

#include <string>

namespace toolstest {

bool haveDisplay();
// Asks the top-level window with this title to close, as a window manager's close button does.
bool closeWindowNamed(const std::string& title);

} // namespace toolstest

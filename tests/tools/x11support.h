// X11 helpers for the editor tests, kept apart because Xlib's macros clash with the test framework.
#pragma once

#include <string>

namespace toolstest {

bool haveDisplay();
// Asks the top-level window with this title to close, as a window manager's close button does.
bool closeWindowNamed(const std::string& title);
// Drags with the left button from (x, y) in that window by dy pixels down (up when negative),
// through XTEST.
bool dragInWindowNamed(const std::string& title, int x, int y, int dy);

} // namespace toolstest

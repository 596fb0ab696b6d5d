// What the editor checks do as a host around the shared host window: open an instance with an
// editor, ask the editor's size, make a window for it, give it idle time, make gestures on it
// and close it.
#pragma once

#include "session.h"
#include "tools/hosting/hostwindow.h"
#include "tools/hosting/pluginhost.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace gravelix::validator {

using host::HostWindow;

// Opens the run's window-system connection into ctx.connection; false when there is no display.
bool connectDisplay(CheckContext& ctx);

// A session whose plug-in has an editor, with a display when needDisplay; else null and in
// result why the check does not apply (or why the plug-in does not load).
std::unique_ptr<Session> editorSession(CheckContext& ctx, bool needDisplay, Outcome& result);

// An editor check as registered: F drives an instance with an editor on a display, and the
// check skips where there is no display or no editor.
template <SessionCheck F> Outcome withEditor(CheckContext& ctx) {
    Outcome result;
    const std::unique_ptr<Session> s = editorSession(ctx, true, result);
    return s ? F(ctx, *s) : result;
}

// The editor's size from effEditGetRect; false when it gives none.
bool editorSize(Session& s, int& width, int& height);

// A bare window at the screen's origin of the editor's size (400 x 300 when it gives none), on
// the run's connection (opened for this process first if it has none).
std::unique_ptr<HostWindow> windowFor(CheckContext& ctx, Session& s);

// Calls effEditIdle count times with a pause between, the way a host's timer would, handling
// the window system's events before each (on Windows they reach the editor only that way).
void pumpIdle(Session& s, HostWindow* w, int count, int pauseMs = 5);

// effEditClose, then the idle calls a host goes on giving the window it closed in.
void closeEditor(Session& s, HostWindow& w);

// Every begun edit has ended.
bool settled(const std::vector<host::HostCall>& calls);

// One press, drag upwards and release at (x, y), with idle calls between as a host gives.
void gesture(Session& s, HostWindow& w, int x, int y);

// The first place on a grid where a gesture made the editor automate a parameter (the
// gestures leave their changes behind); none when no place does.
std::optional<std::pair<int, int>> findControl(Session& s, HostWindow& w);

} // namespace gravelix::validator

// Events a host forwards to the editor's window with XSendEvent instead of the server
// delivering them: they arrive marked as sent. Only X11 has them.
#pragma once

#include "tools/hosting/hostwindow.h"

#include <functional>
#include <string>

namespace gravelix::validator {

// Why sent events cannot be tried here; empty where they can.
std::string syntheticEventsUnsupported();

// A press at (x, y) of the host window, three drags upwards and a release, each sent to the
// editor's window under that point, with between() called after each.
void sendSyntheticDrag(host::HostWindow& w, int x, int y, const std::function<void()>& between);

// Paints the editor's window black from the host's connection, as a stale screen would show it;
// false when the host window holds no editor window.
bool damageEditor(host::HostWindow& w);
// An Expose for the whole of the editor's window, sent.
void sendSyntheticExpose(host::HostWindow& w);

} // namespace gravelix::validator

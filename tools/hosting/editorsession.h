// A plug-in's editor opened in a host window for as long as the object lives.
#pragma once

#include "hostwindow.h"
#include "pluginhost.h"

#include <memory>

namespace gravelix::host {

class EditorSession {
public:
    // Throws std::runtime_error when the plug-in has no editor or there is no display. A
    // `scale` above 0 is told to the plug-in first, as hosts tell an editor its window's scale
    // (effVendorSpecific 'PreS' 'AeCs', the factor in opt); 0 tells nothing.
    explicit EditorSession(const PluginHost& plugin, double scale = 0.0);
    ~EditorSession(); // closes the editor, then the window
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    HostWindow& window() { return *window_; }

    // Idles the editor about 30 times a second for the given time; false as soon as the
    // window has been closed by the user or stop() has been called.
    bool run(int milliseconds);
    // May be called from a signal handler.
    static void stop();

private:
    const PluginHost& plugin_;
    std::unique_ptr<HostWindow> window_;
};

} // namespace gravelix::host

// The pedal editor inside a CLAP host: the gui extension, driven from the host's main thread by
// its timers, and the editor's host (EditorHost) answered through the plug-in and the host's
// gui extension.
#pragma once

#include <clap/ext/gui.h>
#include <clap/ext/timer-support.h>
#include <clap/id.h>

#include <cstdint>
#include <memory>

#include "clapextensions.h"
#include "editorhost.h"

class ClapPedal;
class gravelixeditor;
namespace Toolkit {
class CBaseObject;
class CToolkitTimer;
} // namespace Toolkit

class ClapEditor final : public EditorHost {
public:
    // The editor object lives as long as the instance; only its window comes and goes.
    explicit ClapEditor(ClapPedal& pedal);
    ~ClapEditor() override;

    // Any thread, real-time safe: the window shows it at its next idle.
    void parameterChanged(std::int32_t index, float value);
    // The gui and timer-support extensions; null for others.
    const void* extension(const char* id) const;

    // EditorHost
    std::int32_t parameterCount() override;
    float parameterValue(std::int32_t index) override;
    void beginEdit(std::int32_t index) override;
    void performEdit(std::int32_t index, float value) override;
    void endEdit(std::int32_t index) override;
    SizeAnswer resizeWindow(std::int32_t width, std::int32_t height) override;

private:
    static ClapEditor* from(const clap_plugin_t* plugin);

    bool create(const char* api, bool floating);
    void destroy();
    bool setScale(double scale);
    bool size(std::uint32_t* width, std::uint32_t* height);
    bool setSize(std::uint32_t width, std::uint32_t height);
    bool setParent(const clap_window_t* window);
    void onTimer(clap_id id);
    void onFd(int fd);
    // What drives the open window: the host's timer (asked for at create), the window
    // system's descriptor where the host watches descriptors, and where the host has no
    // timers, a timer of the window system's own (Windows).
    void startDrivers();
    void stopDrivers();

    ClapPedal& pedal;
    std::unique_ptr<gravelixeditor> view;
    bool created = false;
    // Hosts number timers from 0; only CLAP_INVALID_ID means none.
    clap_id timer = CLAP_INVALID_ID;
    int watchedFd = -1;
    Toolkit::CBaseObject* idleTarget = nullptr;
    Toolkit::CToolkitTimer* fallbackTimer = nullptr;
};

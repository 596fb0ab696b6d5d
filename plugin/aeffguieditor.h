// The editor base: an AEffEditor towards the host and the toolkit's editor interface towards
// its frame. Host requests go to the frame, toolkit requests to the editor's host: the VST 2.4
// effect and its host, or another format's adapter (EditorHost), which then drives the
// editor through the same open, idle, close and scale calls.
// Virtual operations are declared in the fixed slot order; do not reorder or insert.
#pragma once

#include "aeffeditor.h"
#include "editorhost.h"
#include "toolkit/toolkiteditorinterface.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace Toolkit {
class IPlatformFactory;
}

// The millisecond tick counter and the sleep behind doIdleStuff's timing. The system one is the
// platform's (EditorSupport); tests put in their own.
class EditorClock {
public:
    virtual ~EditorClock() = default;
    // Milliseconds as an unsigned 32-bit count that wraps.
    virtual std::uint32_t ticks() = 0;
    virtual void wait(std::uint32_t ms) = 0;
};

class AEffGUIEditor : public AEffEditor, public Toolkit::ToolkitEditorInterface {
public:
    // The toolkit's knob modes; its own type so that the base's setKnobMode below can never
    // be mistaken for (or override) the host's request of the same name.
    enum class KnobMode : VstInt32 { circular = 0, relativeCircular = 1, linear = 2 };

    // effect must not be null; it owns the editor from here on.
    explicit AEffGUIEditor(AudioEffect* effect);
    // An editor of another plug-in format, with no VST 2.4 effect: host outlives it.
    explicit AEffGUIEditor(EditorHost& host);
    ~AEffGUIEditor() override;

    // The editor's rectangle at the scale it has or will open with (scaleFactor()).
    bool getRect(ERect** ppRect) override;
    // Records the host's parent window; answers false (the derived editor builds the window).
    bool open(void* ptr) override;
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(float distance) override;
    // The host's effSetEditKnobMode: answers false and leaves the knob mode alone.
    using AEffEditor::setKnobMode;
    // Shows a parameter change; called on whatever thread changed the parameter.
    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    // No host reaches it here, and the toolkit draws only inside the window's paint.
    virtual void draw(ERect* /*rect*/) {}
    // Sets the knob mode of every editor in the library; true.
    virtual bool setKnobMode(KnobMode mode);

    // Toolkit requests.
    void doIdleStuff() override;
    std::int32_t getKnobMode() const override;
    void beginEdit(std::int32_t index) override;
    void endEdit(std::int32_t index) override;
    bool beforeSizeChange(const Toolkit::CRect& newSize, const Toolkit::CRect& oldSize) override;

    std::uint32_t getTicks();
    void wait(std::uint32_t ms);
    // Null puts the system clock back. Not owned.
    void setClock(EditorClock* newClock) { clock = newClock; }
    // The plug-in and host the editor works for.
    EditorHost& editorHost() const { return *host; }
    // The window system the derived editor builds its frame on.
    Toolkit::IPlatformFactory& platformFactory() const { return *platform; }

    // Device pixels per unit of the 1x layout in `rect`. Sources, first match wins: the
    // player's choice (kept in the user settings), the host's (setHostScaleFactor), the
    // system's for the host's window, else 1; rounded to the nearest supported factor.
    double scaleFactor();
    // The host's scale for our window (its vendor-specific message); an open editor follows
    // at once. Not a positive finite number: forgotten.
    void setHostScaleFactor(double scale);
    // The player's choice from the editor: kept for every later editor (in the settings file
    // when it can be written) and applied at once. False when the window could not take it.
    bool setPlayerScaleFactor(double scale);
    void systemScaleChanged(double systemScale) override;
    // Where the player's choice is kept; defaults to UserSettings::defaultFolder(). Read again
    // at every open, so a choice made in another editor counts there too.
    void setSettingsFolder(const std::filesystem::path& folder);

    // The size the editor will most likely open at, for preparing its images before it does:
    // the player's choice, the host's, the size this user's last editor opened at (the
    // settings' hint), else 1. Never asks the system, which takes a display connection.
    double likelyScaleFactor() const;

protected:
    // The player's choice as read at construction or the last open; 0 for none.
    double playerScaleFactor() const { return playerScale; }
    // The host told a scale while no window is open; likelyScaleFactor() may have changed.
    virtual void likelyScaleChanged() {}
    // Called by the derived editor's open right after it made the frame: sets the frame to
    // scaleFactor() without asking the host, which has sized its window from getRect.
    void scaleNewFrame();
    // Sets an open frame to scaleFactor(), through beforeSizeChange.
    bool applyScaleFactor();

    ERect rect{};
    // doIdleStuff runs no full pass before this tick.
    std::uint32_t lastTicks = 0;
    // True only while doIdleStuff is inside the host's idle call.
    bool inIdleStuff = false;

private:
    bool isEffectParameter(std::int32_t index) const;

    void readSettings();

    EditorClock* clock = nullptr;
    // Made for a VST 2.4 effect; another format's adapter brings its own.
    std::unique_ptr<EditorHost> ownHost;
    EditorHost* host;
    Toolkit::IPlatformFactory* platform;
    // The rectangle getRect answers above 1x.
    ERect scaledRect{};
    std::filesystem::path settingsFolder;
    // 0 where the source has said nothing.
    double playerScale = 0.0;
    double hostScale = 0.0;
    double lastOpenedScale = 0.0;
    double systemScale = 0.0;
    bool sizingNewFrame = false;
    // Shared by every editor in the library, which may open on threads of their own.
    static std::atomic<VstInt32> knobMode;
};

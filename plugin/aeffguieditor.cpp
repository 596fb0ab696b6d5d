#include "aeffguieditor.h"

#include "audioeffect.h"
#include "effecteditorhost.h"
#include "toolkit/cframe.h"
#include "toolkit/platform/editorsupport.h"
#include "toolkit/platform/iplatformfactory.h"
#include "toolkit/platform/iplatformframe.h"
#include "toolkit/scalefactor.h"
#include "usersettings.h"

#include <cmath>
#include <limits>

std::atomic<VstInt32> AEffGUIEditor::knobMode{0};

namespace {

class SystemClock final : public EditorClock {
public:
    std::uint32_t ticks() override { return Toolkit::EditorSupport::ticks(); }
    void wait(std::uint32_t ms) override { Toolkit::EditorSupport::wait(ms); }
};

SystemClock systemClock;

// Truncates toward zero; sizes a 32-bit integer cannot hold (or no number at all) are pinned
// rather than left to undefined conversion.
VstInt32 truncatedSize(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double lo = std::numeric_limits<VstInt32>::min();
    constexpr double hi = std::numeric_limits<VstInt32>::max();
    return static_cast<VstInt32>(std::trunc(value < lo ? lo : (value > hi ? hi : value)));
}

// The host and the toolkit carry the same key record in two types.
Toolkit::VstKeyCode toToolkit(const VstKeyCode& key) {
    Toolkit::VstKeyCode out;
    out.character = key.character;
    out.virt = key.virt;
    out.modifier = key.modifier;
    return out;
}

void fromToolkit(const Toolkit::VstKeyCode& key, VstKeyCode& out) {
    out.character = key.character;
    out.virt = key.virt;
    out.modifier = key.modifier;
}

// Hands a key press or release to the frame, if any, and the frame's changes back to the host's
// record; true when the frame used the key.
bool sendKey(Toolkit::CFrame* frame, VstKeyCode& keyCode, bool down) {
    if (!frame) {
        return false;
    }
    Toolkit::SharedGuard<Toolkit::CFrame> hold(frame);
    Toolkit::VstKeyCode key = toToolkit(keyCode);
    const std::int32_t result = down ? hold->keyDown(key) : hold->keyUp(key);
    fromToolkit(key, keyCode);
    return result > 0;
}

} // namespace

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect)
    : AEffEditor(effect), ownHost(std::make_unique<EffectEditorHost>(*effect)), host(ownHost.get()),
      platform(&Toolkit::EditorSupport::platformFactory()) {
    // The derived editor's bitmaps, made before any frame, come from the default factory.
    Toolkit::setPlatformFactory(platform);
    effect->setEditor(this);
    systemWindow = nullptr;
    lastTicks = getTicks();
    Toolkit::EditorSupport::enterEditorThread();
    settingsFolder = UserSettings::defaultFolder();
    readSettings();
}

AEffGUIEditor::AEffGUIEditor(EditorHost& editorHost)
    : AEffEditor(nullptr), host(&editorHost), platform(&Toolkit::EditorSupport::platformFactory()) {
    Toolkit::setPlatformFactory(platform);
    systemWindow = nullptr;
    lastTicks = getTicks();
    Toolkit::EditorSupport::enterEditorThread();
    settingsFolder = UserSettings::defaultFolder();
    readSettings();
}

AEffGUIEditor::~AEffGUIEditor() {
    Toolkit::EditorSupport::leaveEditorThread();
}

bool AEffGUIEditor::getRect(ERect** ppRect) {
    if (!ppRect) {
        return false;
    }
    const double scale = scaleFactor();
    if (scale == 1.0) {
        *ppRect = &rect;
        return true;
    }
    // The same rounding as the frame's window, so the host's window fits it exactly.
    const Toolkit::CRect scaled =
        Toolkit::scaledOutward(Toolkit::CRect(rect.left, rect.top, rect.right, rect.bottom), scale);
    scaledRect.left = static_cast<std::int16_t>(scaled.left);
    scaledRect.top = static_cast<std::int16_t>(scaled.top);
    scaledRect.right = static_cast<std::int16_t>(scaled.right);
    scaledRect.bottom = static_cast<std::int16_t>(scaled.bottom);
    *ppRect = &scaledRect;
    return true;
}

bool AEffGUIEditor::open(void* ptr) {
    systemWindow = ptr;
    readSettings();
    // The system's answer for this window replaces whatever getRect found before.
    systemScale = 0.0;
    return false;
}

void AEffGUIEditor::setSettingsFolder(const std::filesystem::path& folder) {
    settingsFolder = folder;
    readSettings();
}

void AEffGUIEditor::readSettings() {
    const UserSettings::Values values = UserSettings(settingsFolder).read();
    playerScale = values.editorScale;
    lastOpenedScale = values.lastEditorScale;
}

double AEffGUIEditor::likelyScaleFactor() const {
    for (const double source : {playerScale, hostScale, lastOpenedScale}) {
        if (source > 0.0) {
            return Toolkit::nearestSupportedScale(source);
        }
    }
    return 1.0;
}

double AEffGUIEditor::scaleFactor() {
    if (playerScale > 0.0) {
        return Toolkit::nearestSupportedScale(playerScale);
    }
    if (hostScale > 0.0) {
        return Toolkit::nearestSupportedScale(hostScale);
    }
    if (!(systemScale > 0.0)) {
        systemScale = Toolkit::EditorSupport::systemScaleFactor(systemWindow);
    }
    return Toolkit::nearestSupportedScale(systemScale);
}

void AEffGUIEditor::setHostScaleFactor(double scale) {
    hostScale = std::isfinite(scale) && scale > 0.0 ? scale : 0.0;
    if (!frame) {
        likelyScaleChanged();
    }
    applyScaleFactor();
}

bool AEffGUIEditor::setPlayerScaleFactor(double scale) {
    const double chosen = Toolkit::nearestSupportedScale(scale);
    playerScale = chosen;
    UserSettings settings(settingsFolder);
    UserSettings::Values values = settings.read();
    values.editorScale = chosen;
    // A folder that cannot be written costs only the memory of the choice in later editors.
    settings.write(values);
    return applyScaleFactor();
}

void AEffGUIEditor::systemScaleChanged(double scale) {
    systemScale = std::isfinite(scale) && scale > 0.0 ? scale : 0.0;
    applyScaleFactor();
}

bool AEffGUIEditor::applyScaleFactor() {
    if (!frame) {
        return true;
    }
    Toolkit::SharedGuard<Toolkit::CFrame> hold(frame);
    return hold->setScaleFactor(scaleFactor());
}

void AEffGUIEditor::scaleNewFrame() {
    sizingNewFrame = true;
    applyScaleFactor();
    sizingNewFrame = false;
    // The next instance's editor prepares this size before it opens. Written only when it
    // changes, and a folder that cannot be written costs only that head start.
    const double opened = scaleFactor();
    if (opened != lastOpenedScale) {
        lastOpenedScale = opened;
        UserSettings settings(settingsFolder);
        UserSettings::Values values = settings.read();
        values.lastEditorScale = opened;
        settings.write(values);
    }
}

void AEffGUIEditor::idle() {
    // Editor thread only. While the host runs inside our masterIdle, a nested idle must not
    // touch the frame or run the pump again.
    if (inIdleStuff) {
        return;
    }
    Toolkit::EditorSupport::beforeFrameIdle();
    if (frame) {
        frame->idle();
        Toolkit::EditorSupport::afterFrameIdle();
    }
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) {
    return sendKey(frame, keyCode, true);
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) {
    return sendKey(frame, keyCode, false);
}

bool AEffGUIEditor::onWheel(float distance) {
    if (!frame) {
        return false;
    }
    Toolkit::SharedGuard<Toolkit::CFrame> hold(frame);
    Toolkit::CPoint where(0, 0);
    hold->currentMouseLocation(where);
    const Toolkit::ButtonState buttons = hold->currentMouseButtons();
    return hold->wheel(where, distance, buttons);
}

bool AEffGUIEditor::setKnobMode(KnobMode mode) {
    knobMode.store(static_cast<VstInt32>(mode), std::memory_order_relaxed);
    return true;
}

void AEffGUIEditor::doIdleStuff() {
    // Editor thread. Ticks are compared by their wrapped difference, so the 100 ms spacing
    // holds across the counter's wrap as well.
    std::uint32_t now = getTicks();
    if (static_cast<std::int32_t>(now - lastTicks) < 0) {
        wait(4);
        now += 4;
        if (static_cast<std::int32_t>(lastTicks - now) > 50) {
            return;
        }
    }
    idle();
    Toolkit::EditorSupport::pumpPaint();
    inIdleStuff = true;
    lastTicks = now + 100;
    host->idleHost();
    inIdleStuff = false;
}

std::int32_t AEffGUIEditor::getKnobMode() const {
    return knobMode.load(std::memory_order_relaxed);
}

void AEffGUIEditor::beginEdit(std::int32_t index) {
    // Controls without a parameter (tags beyond the effect's) tell the host nothing: a host
    // may index its parameter tables with what it receives.
    if (isEffectParameter(index)) {
        host->beginEdit(index);
    }
}

void AEffGUIEditor::endEdit(std::int32_t index) {
    if (isEffectParameter(index)) {
        host->endEdit(index);
    }
}

bool AEffGUIEditor::beforeSizeChange(const Toolkit::CRect& newSize,
                                     const Toolkit::CRect& /*oldSize*/) {
    if (sizingNewFrame) {
        return true;
    }
    const std::int32_t width = truncatedSize(newSize.width());
    const std::int32_t height = truncatedSize(newSize.height());
    switch (host->resizeWindow(width, height)) {
    case EditorHost::SizeAnswer::resized:
        return true;
    case EditorHost::SizeAnswer::refused:
        return false;
    case EditorHost::SizeAnswer::unsupported:
        break;
    }
    if (!frame || !frame->platformFrame()) {
        return true;
    }
    return Toolkit::EditorSupport::resizeNativeWindows(frame->platformFrame()->nativeHandle(),
                                                       width, height);
}

std::uint32_t AEffGUIEditor::getTicks() {
    return (clock ? clock : &systemClock)->ticks();
}

void AEffGUIEditor::wait(std::uint32_t ms) {
    (clock ? clock : &systemClock)->wait(ms);
}

bool AEffGUIEditor::isEffectParameter(std::int32_t index) const {
    return index >= 0 && index < host->parameterCount();
}

// The editor's host through the VST 2.4 effect: parameters through the effect, gestures and
// window sizes through the host callback.
#pragma once

#include "editorhost.h"

class AudioEffect;
class AudioEffectX;

class EffectEditorHost final : public EditorHost {
public:
    explicit EffectEditorHost(AudioEffect& effect) : effect(effect) {}

    std::int32_t parameterCount() override;
    float parameterValue(std::int32_t index) override;
    void beginEdit(std::int32_t index) override;
    // setParameterAutomated: the effect's setParameter, then the host's automation message.
    void performEdit(std::int32_t index, float value) override;
    void endEdit(std::int32_t index) override;
    // Through the host when it says it can "sizeWindow", else unsupported.
    SizeAnswer resizeWindow(std::int32_t width, std::int32_t height) override;
    void idleHost() override;

private:
    // The effect's extended services (edit brackets, window sizing); null for a plain effect.
    AudioEffectX* extended() const;

    AudioEffect& effect;
};

#include "effecteditorhost.h"

#include "audioeffectx.h"

std::int32_t EffectEditorHost::parameterCount() {
    return effect.getAeffect()->numParams;
}

float EffectEditorHost::parameterValue(std::int32_t index) {
    return effect.getParameter(index);
}

void EffectEditorHost::beginEdit(std::int32_t index) {
    if (AudioEffectX* x = extended()) {
        x->beginEdit(index);
    }
}

void EffectEditorHost::performEdit(std::int32_t index, float value) {
    effect.setParameterAutomated(index, value);
}

void EffectEditorHost::endEdit(std::int32_t index) {
    if (AudioEffectX* x = extended()) {
        x->endEdit(index);
    }
}

EditorHost::SizeAnswer EffectEditorHost::resizeWindow(std::int32_t width, std::int32_t height) {
    AudioEffectX* x = extended();
    char capability[] = "sizeWindow";
    if (!x || x->canHostDo(capability) == 0) {
        return SizeAnswer::unsupported;
    }
    return x->sizeWindow(width, height) ? SizeAnswer::resized : SizeAnswer::refused;
}

void EffectEditorHost::idleHost() {
    effect.masterIdle();
}

AudioEffectX* EffectEditorHost::extended() const {
    return dynamic_cast<AudioEffectX*>(&effect);
}

// What the editor needs of its plug-in and host, whatever the plug-in format: the parameter
// values, edits bracketed as gestures, a window size, and idle time for the host. Each format
// implements it (the VST 2.4 one is EffectEditorHost); the editor never sees more of a host.
#pragma once

#include <cstdint>

class EditorHost {
public:
    enum class SizeAnswer { resized, refused, unsupported };

    virtual ~EditorHost() = default;

    // Parameter indices run from 0 to parameterCount() - 1; the editor asks nothing else.
    virtual std::int32_t parameterCount() = 0;
    // Normalised, 0 to 1, as the editor's controls show it.
    virtual float parameterValue(std::int32_t index) = 0;
    // A player's gesture on a parameter: begin, any number of performs, end. Each perform
    // changes the parameter and lets the host record it. Editor thread.
    virtual void beginEdit(std::int32_t index) = 0;
    virtual void performEdit(std::int32_t index, float value) = 0;
    virtual void endEdit(std::int32_t index) = 0;
    // Asks the host to size the editor's window to width x height device pixels. unsupported:
    // the host cannot size plug-in windows, the editor sizes its own.
    virtual SizeAnswer resizeWindow(std::int32_t width, std::int32_t height) = 0;
    // Lets the host run its own idle work while the editor is busy (a long gesture).
    virtual void idleHost() {}
};

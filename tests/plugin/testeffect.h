// A minimal effect and editor that log what the base classes call on them.
#pragma once

#include "aeffeditor.h"
#include "audioeffectx.h"

#include <cstdio>
#include <string>
#include <vector>

struct CallLog {
    std::vector<std::string> calls;
    bool effectDestroyed = false;
    bool editorDestroyed = false;
    VstKeyCode lastKey{};
};

class TestEditor : public AEffEditor {
public:
    TestEditor(AudioEffect* effect, CallLog& log) : AEffEditor(effect), log_(log) {}
    ~TestEditor() override { log_.editorDestroyed = true; }

    bool getRect(ERect** rect) override { return (*rect = &rect_), true; }
    bool open(void* ptr) override { return AEffEditor::open(ptr), note("editor.open"), true; }
    void close() override { AEffEditor::close(), note("editor.close"); }
    void idle() override { note("editor.idle"); }
    bool onKeyDown(VstKeyCode& key) override { return (log_.lastKey = key), true; }
    bool onKeyUp(VstKeyCode& key) override { return (log_.lastKey = key), false; }

    ERect rect_{0, 0, 475, 270};

private:
    void note(const char* what) { log_.calls.push_back(what); }
    CallLog& log_;
};

class TestEffect : public AudioEffectX {
public:
    TestEffect(audioMasterCallback host, CallLog& log) : AudioEffectX(host, 3, 2), log_(log) {}
    ~TestEffect() override { log_.effectDestroyed = true; }

    AEffect& record() { return cEffect; }

    void processReplacing(float**, float**, VstInt32 n) override { note("process", n); }
    void open() override { note("open"); }
    void close() override { note("close"); }
    void suspend() override { note("suspend"); }
    void resume() override { note("resume"), AudioEffectX::resume(); }
    void setProgram(VstInt32 p) override { note("setProgram", p), AudioEffectX::setProgram(p); }
    void setParameter(VstInt32 i, float v) override { note("setParameter", i, v); }
    bool getProgramNameIndexed(VstInt32 c, VstInt32 i, char*) override {
        return note("getProgramNameIndexed", c, i), true;
    }
    VstInt32 setChunk(void*, VstInt32 size, bool isPreset) override {
        return note(isPreset ? "setChunk preset" : "setChunk", size), -5;
    }
    bool setBypass(bool on) override { return note("setBypass", on), true; }
    VstInt32 canDo(char*) override { return canDoAnswer; }

    VstInt32 canDoAnswer = 0;

private:
    // Entries read like "setParameter 1 0.25".
    template <typename... Args> void note(const char* what, Args... args) {
        std::string entry = what;
        char number[32];
        ((std::snprintf(number, sizeof(number), " %g", double(args)), entry += number), ...);
        log_.calls.push_back(entry);
    }
    CallLog& log_;
};

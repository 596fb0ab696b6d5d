// A minimal effect and editor that log what the base classes call on them.
#pragma once

#include "aeffeditor.h"
#include "audioeffectx.h"

#include <string>
#include <vector>

struct CallLog {
    std::vector<std::string> calls;
    bool effectDestroyed = false;
    bool editorDestroyed = false;
    VstKeyCode lastKey{};

    bool has(const std::string& name) const {
        for (const auto& c : calls)
            if (c == name)
                return true;
        return false;
    }
};

class TestEditor : public AEffEditor {
public:
    TestEditor(AudioEffect* effect, CallLog& log) : AEffEditor(effect), log_(log) {
        rect_ = {0, 0, 475, 270};
    }
    ~TestEditor() override { log_.editorDestroyed = true; }

    bool getRect(ERect** rect) override {
        *rect = &rect_;
        return true;
    }
    bool open(void* ptr) override {
        AEffEditor::open(ptr);
        log_.calls.push_back("editor.open");
        return true;
    }
    void close() override {
        AEffEditor::close();
        log_.calls.push_back("editor.close");
    }
    void idle() override { log_.calls.push_back("editor.idle"); }
    bool onKeyDown(VstKeyCode& key) override {
        log_.lastKey = key;
        log_.calls.push_back("editor.keyDown");
        return true;
    }
    bool onKeyUp(VstKeyCode& key) override {
        log_.lastKey = key;
        log_.calls.push_back("editor.keyUp");
        return false;
    }

    ERect rect_;

private:
    CallLog& log_;
};

class TestEffect : public AudioEffectX {
public:
    TestEffect(audioMasterCallback host, CallLog& log, VstInt32 programs = 3)
        : AudioEffectX(host, programs, 2), log_(log) {}
    ~TestEffect() override { log_.effectDestroyed = true; }

    using AudioEffect::setFlag;
    AEffect& record() { return cEffect; }
    VstInt32 programNumber() const { return curProgram; }

    void processReplacing(float**, float**, VstInt32 frames) override {
        log_.calls.push_back("processReplacing " + std::to_string(frames));
    }
    void open() override { log_.calls.push_back("open"); }
    void close() override { log_.calls.push_back("close"); }
    void suspend() override { log_.calls.push_back("suspend"); }
    void resume() override {
        log_.calls.push_back("resume");
        AudioEffectX::resume();
    }
    void setProgram(VstInt32 program) override {
        log_.calls.push_back("setProgram " + std::to_string(program));
        AudioEffectX::setProgram(program);
    }
    void setParameter(VstInt32 index, float value) override {
        log_.calls.push_back("setParameter " + std::to_string(index) + " " + std::to_string(value));
    }
    void getParameterName(VstInt32 index, char* text) override {
        log_.calls.push_back("getParameterName " + std::to_string(index));
        AudioEffectX::getParameterName(index, text);
    }
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char*) override {
        log_.calls.push_back("getProgramNameIndexed " + std::to_string(category) + " " +
                             std::to_string(index));
        return true;
    }
    VstInt32 canDo(char*) override { return canDoAnswer; }
    VstInt32 setChunk(void*, VstInt32 size, bool isPreset) override {
        log_.calls.push_back("setChunk " + std::to_string(size) + (isPreset ? " preset" : ""));
        return -5;
    }
    bool setBypass(bool on) override {
        log_.calls.push_back(on ? "setBypass on" : "setBypass off");
        return true;
    }

    VstInt32 canDoAnswer = 0;

private:
    CallLog& log_;
};

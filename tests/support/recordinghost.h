// A substitute host for tests: its callback records every request a plug-in makes and answers
// from a table, so tests can check both what was asked and how the answer was interpreted.
#pragma once

#include "aeffect.h"

#include <functional>
#include <map>
#include <mutex>
#include <vector>

struct HostCall {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

class RecordingHost {
public:
    // The newest living RecordingHost receives the callback's calls; destroying it hands them
    // back to the one it replaced.
    RecordingHost();
    ~RecordingHost();
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    // The function to hand to a plug-in as its host callback.
    static audioMasterCallback callback();

    // Answer for an opcode; opcodes without an entry answer 0 (the version query answers 2400
    // unless set).
    void setAnswer(VstInt32 opcode, VstIntPtr answer);
    // Consulted first for every call: return true with answer set to take over (e.g. to fill
    // a host string), false to fall back to the table.
    std::function<bool(const HostCall&, VstIntPtr& answer)> responder;

    std::vector<HostCall> calls() const;
    std::vector<HostCall> callsWith(VstInt32 opcode) const;
    std::size_t count() const;
    void clear();

private:
    static VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt);
    VstIntPtr record(const HostCall& call);

    mutable std::mutex mutex_;
    std::vector<HostCall> calls_;
    std::map<VstInt32, VstIntPtr> answers_;
    RecordingHost* previous_;
};

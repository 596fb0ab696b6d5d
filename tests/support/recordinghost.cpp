#include "recordinghost.h"

namespace {
std::mutex activeMutex;
RecordingHost* active = nullptr;
} // namespace

RecordingHost::RecordingHost() {
    answers_[audioMasterVersion] = kVstVersion;
    std::lock_guard lock(activeMutex);
    previous_ = active;
    active = this;
}

RecordingHost::~RecordingHost() {
    std::lock_guard lock(activeMutex);
    if (active == this) {
        active = previous_;
    }
}

audioMasterCallback RecordingHost::callback() {
    return &RecordingHost::dispatch;
}

void RecordingHost::setAnswer(VstInt32 opcode, VstIntPtr answer) {
    std::lock_guard lock(mutex_);
    answers_[opcode] = answer;
}

std::vector<HostCall> RecordingHost::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::vector<HostCall> RecordingHost::callsWith(VstInt32 opcode) const {
    std::lock_guard lock(mutex_);
    std::vector<HostCall> matching;
    for (const HostCall& call : calls_) {
        if (call.opcode == opcode) {
            matching.push_back(call);
        }
    }
    return matching;
}

std::size_t RecordingHost::count() const {
    std::lock_guard lock(mutex_);
    return calls_.size();
}

void RecordingHost::clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

VstIntPtr RecordingHost::dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                  void* ptr, float opt) {
    RecordingHost* host = nullptr;
    {
        std::lock_guard lock(activeMutex);
        host = active;
    }
    if (!host) {
        return 0;
    }
    return host->record(HostCall{effect, opcode, index, value, ptr, opt});
}

VstIntPtr RecordingHost::record(const HostCall& call) {
    std::function<bool(const HostCall&, VstIntPtr&)> respond;
    VstIntPtr answer = 0;
    {
        std::lock_guard lock(mutex_);
        calls_.push_back(call);
        respond = responder;
        if (auto it = answers_.find(call.opcode); it != answers_.end()) {
            answer = it->second;
        }
    }
    // Outside the lock: a responder may call back into the plug-in.
    VstIntPtr custom = 0;
    if (respond && respond(call, custom)) {
        return custom;
    }
    return answer;
}

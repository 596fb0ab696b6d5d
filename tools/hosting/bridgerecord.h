// The effect record's entry points for a bridge that presents another format's plug-in as one:
// each forwards to the bridge behind the record's `object`.
#pragma once

#include "plugin/aeffect.h"

namespace gravelix::host {

template <class Bridge> struct BridgeRecord {
    static void install(AEffect& e) {
        e.dispatcher = dispatcher;
        e.process = process;
        e.setParameter = setParameter;
        e.getParameter = getParameter;
        e.processReplacing = processReplacing;
    }

private:
    static Bridge& of(AEffect* e) { return *static_cast<Bridge*>(e->object); }
    static VstIntPtr dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                void* ptr, float opt) {
        return of(e).dispatch(opcode, index, value, ptr, opt);
    }
    static void processReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
        of(e).process(inputs, outputs, frames);
    }
    // Accumulating processing is gone from VST 2.4 hosts; every caller here takes the replacing
    // one the flags announce.
    static void process(AEffect*, float**, float**, VstInt32) {}
    static void setParameter(AEffect* e, VstInt32 index, float value) {
        of(e).setParameter(index, value);
    }
    static float getParameter(AEffect* e, VstInt32 index) { return of(e).getParameter(index); }
};

} // namespace gravelix::host

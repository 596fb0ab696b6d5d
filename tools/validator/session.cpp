#include "session.h"

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace gravelix::validator {

#if defined(__x86_64__)
unsigned readFpControl() {
    unsigned short x87 = 0;
    __asm__ __volatile__("fnstcw %0" : "=m"(x87));
    return (_mm_getcsr() & ~0x3Fu) | (unsigned(x87) << 16);
}

void writeFpControl(unsigned state) {
    const unsigned short x87 = static_cast<unsigned short>(state >> 16);
    __asm__ __volatile__("fldcw %0" : : "m"(x87));
    _mm_setcsr((_mm_getcsr() & 0x3Fu) | (state & 0xFFFFu & ~0x3Fu));
}

unsigned fpFlushBits() {
    return 0x8040u;
}
#else
unsigned readFpControl() {
    return 0;
}
void writeFpControl(unsigned) {}
unsigned fpFlushBits() {
    return 0;
}
#endif

Session::Session(const CheckContext& ctx)
    : plugin(std::make_unique<host::PluginHost>(ctx.pluginPath, ctx.opts.pluginId)) {
    plugin->state().setListener([](const host::HostCall&) { RtProbe::noteHostCall(); });
}

Session::~Session() = default;

VstIntPtr Session::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                            float opt) {
    return plugin->dispatch(opcode, index, value, ptr, opt);
}

void Session::start(float rate, int blockSize) {
    plugin->setSampleRate(rate);
    plugin->setBlockSize(blockSize);
    plugin->resume();
}

void Session::stop() {
    plugin->suspend();
}

void Session::process(float** inputs, float** outputs, int frames) {
    AEffect* e = effect();
    const unsigned before = readFpControl();
    const RtCounts base = RtProbe::totals();
    RtProbe::enter();
    if (e->processReplacing != nullptr) {
        e->processReplacing(e, inputs, outputs, frames);
    } else {
        e->process(e, inputs, outputs, frames);
    }
    RtProbe::leave();
    const RtCounts used = RtProbe::totals() - base;
    const unsigned after = readFpControl();
    if (after != before) {
        ++fpStateChanges;
        fpBefore = before;
        fpAfter = after;
        writeFpControl(before);
    }
    rtBreaks.allocations += used.allocations;
    rtBreaks.locks += used.locks;
    rtBreaks.syscalls += used.syscalls;
    rtBreaks.hostCalls += used.hostCalls;
    if (rtBreaks.firstSyscall < 0) {
        rtBreaks.firstSyscall = used.firstSyscall;
    }
}

SignalStats Session::run(SignalGenerator& gen, int frames, int blockSize) {
    AudioBuffers in = inputs(blockSize);
    AudioBuffers out = outputs(blockSize);
    SignalStats stats;
    for (int done = 0; done < frames; done += blockSize) {
        const int n = std::min(blockSize, frames - done);
        gen.fill(in, n);
        process(in, out, n);
        stats.add(out, n);
    }
    return stats;
}

std::unique_ptr<Session> openSession(const CheckContext& ctx, Outcome& failure) {
    try {
        return std::make_unique<Session>(ctx);
    } catch (const std::exception& e) {
        failure = fail(std::string("cannot load: ") + e.what());
    }
    return nullptr;
}

} // namespace gravelix::validator

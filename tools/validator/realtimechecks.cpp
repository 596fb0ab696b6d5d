// What a process call may not do on a real-time thread: allocate, lock, enter the kernel or
// call back into the host.
#include "check.h"
#include "session.h"

#include <random>
#include <thread>

namespace gravelix::validator {
namespace {

struct Workload {
    RtCounts breaks;
    bool trapArmed = false;
    std::string trapWhy;
    std::string problem;
};

// A host's audio thread: every program, parameters changed between blocks on the same
// thread, all block sizes, a rate change; counted from the very first call after resume.
Workload runWorkload(CheckContext& ctx, bool armTrap) {
    Workload w;
    std::thread t([&] {
        Outcome failure;
        auto s = openSession(ctx, failure);
        if (!s) {
            w.problem = failure.reason;
            return;
        }
        s->start(44100, 4096);
        AudioBuffers in = s->inputs(4096);
        AudioBuffers out = s->outputs(4096);
        SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed);
        gen.fill(in, 4096);
        if (armTrap) {
            w.trapArmed = RtProbe::armSyscallTrap(&w.trapWhy);
        }
        std::mt19937_64 rng(ctx.seed);
        const int sizes[] = {1, 2, 3, 31, 64, 127, 512, 4096};
        const int programs = std::max(1, s->numPrograms());
        for (int p = 0; p < programs; ++p) {
            if (s->numPrograms() > 0) {
                s->dispatch(effSetProgram, 0, p);
            }
            for (int n : sizes) {
                s->process(in, out, n);
                if (s->numParams() > 0) {
                    const int i = int(rng() % std::uint64_t(s->numParams()));
                    s->host().setParameter(i, float(rng() % 1001) / 1000.0f);
                }
            }
        }
        s->host().setSampleRate(96000);
        for (int i = 0; i < 8; ++i) {
            s->process(in, out, 512);
        }
        w.breaks = s->rtBreaks;
        s.reset();
    });
    t.join();
    return w;
}

// A rule's verdict: the workload's own failure first, then the breaks of the rule it counted.
Outcome verdict(const Workload& w, std::uint64_t breaks, const std::string& what) {
    if (!w.problem.empty()) {
        return fail(w.problem);
    }
    if (breaks != 0) {
        return fail(std::to_string(breaks) + " " + what);
    }
    return pass();
}

Outcome allocations(CheckContext& ctx) {
    if (!RtProbe::allocationsVisible()) {
        return skip("heap calls are not visible in this build");
    }
    const Workload w = runWorkload(ctx, false);
    return verdict(w, w.breaks.allocations, "heap allocation/free call(s) inside processReplacing");
}

Outcome locks(CheckContext& ctx) {
    if (!RtProbe::locksVisible()) {
        return skip("lock operations are not visible in this build");
    }
    const Workload w = runWorkload(ctx, false);
    return verdict(w, w.breaks.locks, "lock operation(s) inside processReplacing");
}

Outcome syscalls(CheckContext& ctx) {
    const Workload w = runWorkload(ctx, true);
    if (w.problem.empty() && !w.trapArmed) {
        return skip("system calls cannot be watched here: " + w.trapWhy);
    }
    return verdict(w, w.breaks.syscalls,
                   "system call(s) inside processReplacing (first: number " +
                       std::to_string(w.breaks.firstSyscall) + ")");
}

Outcome hostCalls(CheckContext& ctx) {
    const Workload w = runWorkload(ctx, false);
    return verdict(w, w.breaks.hostCalls, "host call(s) inside processReplacing");
}

} // namespace

void addRealtimeChecks(std::vector<Check>& checks) {
    checks.push_back({"realtime", "no-allocation-in-process", 1, allocations});
    checks.push_back({"realtime", "no-locks-in-process", 1, locks});
    checks.push_back({"realtime", "no-syscalls-in-process", 1, syscalls});
    checks.push_back({"realtime", "no-host-calls-in-process", 3, hostCalls});
}

} // namespace gravelix::validator

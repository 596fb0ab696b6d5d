// Instance life: loading, repeated creation, start/stop orders real hosts use.
#include "check.h"
#include "session.h"

#include <sstream>

namespace gravelix::validator {
namespace {

Outcome load(CheckContext&, Session& s) {
    AEffect* e = s.effect();
    std::ostringstream why;
    if (e->numInputs < 0 || e->numInputs > 64 || e->numOutputs < 1 || e->numOutputs > 64) {
        why << "implausible channel counts " << e->numInputs << " in, " << e->numOutputs << " out";
    } else if (e->numParams < 0 || e->numParams > 10000 || e->numPrograms < 0 ||
               e->numPrograms > 10000) {
        why << "implausible counts: " << e->numParams << " parameters, " << e->numPrograms
            << " programs";
    } else if (e->processReplacing == nullptr || (e->flags & effFlagsCanReplacing) == 0) {
        why << "no replacing process call";
    } else if (e->dispatcher == nullptr || e->setParameter == nullptr ||
               e->getParameter == nullptr) {
        why << "null entries in the effect record";
    }
    if (!why.str().empty()) {
        return fail(why.str());
    }
    std::ostringstream info;
    info << '"' << s.host().effectName() << "\" by \"" << s.host().vendorString() << "\", "
         << e->numInputs << " in / " << e->numOutputs << " out, " << e->numParams << " parameters, "
         << e->numPrograms << " programs" << ((e->flags & effFlagsHasEditor) ? ", editor" : "");
    return pass(info.str());
}

Outcome createDestroy(CheckContext& ctx) {
    for (int i = 0; i < 50; ++i) {
        Outcome failure;
        auto s = openSession(ctx, failure);
        if (!s) {
            return fail("round " + std::to_string(i) + ": " + failure.reason);
        }
    }
    return pass("50 instances created and closed");
}

Outcome resumeSuspendDestroy(CheckContext& ctx, Session& s) {
    s.start(44100, 512);
    SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed);
    const SignalStats st = s.run(gen, 44100, 512);
    s.stop();
    if (auto p = st.problem(ctx.opts.outputBound); !p.empty()) {
        return fail("output after resume: " + p);
    }
    return pass();
}

Outcome destroyWithoutResume(CheckContext& ctx) {
    for (int variant = 0; variant < 3; ++variant) {
        Outcome failure;
        auto s = openSession(ctx, failure);
        if (!s) {
            return failure;
        }
        if (variant >= 1) {
            s->dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
            s->dispatch(effSetBlockSize, 0, 256);
        }
        if (variant == 2) {
            s->dispatch(effMainsChanged, 0, 0); // suspend without a resume before it
        }
    }
    return pass();
}

// Some hosts announce suspend before the first resume and resume twice in a row.
Outcome mainsOrder(CheckContext& ctx, Session& s) {
    SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed);
    const VstIntPtr sequence[] = {0, 1, 1, 0, 0, 1, VstIntPtr{1} << 32};
    s.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    s.dispatch(effSetBlockSize, 0, 512);
    for (VstIntPtr v : sequence) {
        s.dispatch(effMainsChanged, 0, v);
        if (v != 0) {
            const SignalStats st = s.run(gen, 4096, 512);
            if (auto p = st.problem(ctx.opts.outputBound); !p.empty()) {
                return fail("after effMainsChanged sequence: " + p);
            }
        }
    }
    s.dispatch(effMainsChanged, 0, 0);
    return pass();
}

Outcome unknownOpcodes(CheckContext& ctx, Session& s) {
    const VstInt32 opcodes[] = {-1, -1000, 80, 81, 1000, 0x7fffffff};
    for (VstInt32 op : opcodes) {
        const VstIntPtr r = s.dispatch(op, 0, 0, nullptr, 0.0f);
        if (r != 0 && ctx.opts.strictness >= 8) {
            return fail("opcode " + std::to_string(op) + " answered " + std::to_string(r));
        }
    }
    return pass();
}

} // namespace

void addLifecycleChecks(std::vector<Check>& checks) {
    checks.push_back({"lifecycle", "load", 1, withSession<load>});
    checks.push_back({"lifecycle", "create-destroy-50", 1, createDestroy, false});
    checks.push_back({"lifecycle", "resume-suspend-destroy", 1, withSession<resumeSuspendDestroy>});
    checks.push_back({"lifecycle", "destroy-without-resume", 1, destroyWithoutResume});
    checks.push_back({"lifecycle", "mains-order", 2, withSession<mainsOrder>});
    checks.push_back({"lifecycle", "unknown-opcodes", 2, withSession<unknownOpcodes>});
}

} // namespace gravelix::validator

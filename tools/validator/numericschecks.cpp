// Numbers that hosts and users feed: extreme settings and signals, broken input samples,
// long silences, and the caller's floating-point mode.
#include "check.h"
#include "session.h"

#include <cmath>
#include <limits>
#include <sstream>

namespace gravelix::validator {
namespace {

using Kind = SignalGenerator::Kind;
constexpr Kind kHardSignals[] = {Kind::Noise, Kind::Overdrive, Kind::DcPositive, Kind::DcNegative,
                                 Kind::Square};

// "default", every parameter alone at 0 and at 1, all at 0, all at 1.
int settingCount(Session& s) {
    return 3 + 2 * s.numParams();
}

std::string applySetting(Session& s, int k) {
    const int n = s.numParams();
    if (k == 0) {
        return "defaults";
    }
    if (k == 1 || k == 2) {
        const float v = k == 1 ? 0.0f : 1.0f;
        for (int i = 0; i < n; ++i) {
            s.host().setParameter(i, v);
        }
        return k == 1 ? "every parameter at 0" : "every parameter at 1";
    }
    const int index = (k - 3) / 2;
    const float v = (k - 3) % 2 == 0 ? 0.0f : 1.0f;
    s.host().setParameter(index, v);
    return "parameter " + std::to_string(index) + " (" + s.host().parameterName(index) + ") at " +
           (v == 0.0f ? "0" : "1");
}

Outcome extremes(CheckContext& ctx) {
    Outcome failure;
    auto probe = openSession(ctx, failure);
    if (!probe) {
        return failure;
    }
    const int settings = settingCount(*probe);
    probe.reset();
    const int frames = ctx.opts.strictness >= 5 ? 22050 : 8192;
    for (int k = 0; k < settings; ++k) {
        auto s = openSession(ctx, failure);
        if (!s) {
            return failure;
        }
        const std::string what = applySetting(*s, k);
        s->start(44100, 512);
        for (Kind kind : kHardSignals) {
            SignalGenerator gen(kind, ctx.seed);
            const SignalStats st = s->run(gen, frames, 512);
            if (auto p = st.problem(ctx.opts.outputBound); !p.empty()) {
                return fail(what + ", " + SignalGenerator::name(kind) + ": " + p);
            }
        }
    }
    return pass(std::to_string(settings) + " settings x 5 signals");
}

// A burst of bad samples in the middle of noise: output must stay finite and bounded, and
// sound like an instance that never saw the burst once good input is back.
Outcome badInput(CheckContext& ctx) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float value;
        const char* name;
    } bad[] = {{std::numeric_limits<float>::quiet_NaN(), "NaN"},
               {inf, "+Inf"},
               {-inf, "-Inf"},
               {1e30f, "1e30"},
               {-std::numeric_limits<float>::max(), "-FLT_MAX"},
               {1e-40f, "subnormal 1e-40"}};
    Outcome failure;
    constexpr int kBlock = 512;
    for (const auto& b : bad) {
        auto hit = openSession(ctx, failure);
        auto clean = openSession(ctx, failure);
        if (!hit || !clean) {
            return failure;
        }
        hit->start(44100, kBlock);
        clean->start(44100, kBlock);
        SignalGenerator gh(Kind::Noise, ctx.seed);
        SignalGenerator gc(Kind::Noise, ctx.seed);
        AudioBuffers in = hit->inputs(kBlock);
        AudioBuffers in2 = clean->inputs(kBlock);
        AudioBuffers oh = hit->outputs(kBlock);
        AudioBuffers oc = clean->outputs(kBlock);
        SignalStats during, after, reference;
        const int blocks = 120; // about 1.4 s
        for (int block = 0; block < blocks; ++block) {
            gh.fill(in, kBlock);
            gc.fill(in2, kBlock);
            if (block == 10) {
                for (int i = 0; i < kBlock; i += 7) {
                    in.channel(0)[i] = b.value;
                }
                if (in.numChannels() > 1) {
                    in.channel(1)[100] = b.value;
                }
            }
            hit->process(in, oh, kBlock);
            clean->process(in2, oc, kBlock);
            if (block >= 10 && block < 60) {
                during.add(oh, kBlock);
            } else if (block >= 60) {
                after.add(oh, kBlock);
                reference.add(oc, kBlock);
            }
        }
        if (auto p = during.problem(ctx.opts.outputBound); !p.empty()) {
            return fail(std::string(b.name) + " input: " + p);
        }
        if (auto p = after.problem(ctx.opts.outputBound); !p.empty()) {
            return fail(std::string(b.name) + " input, after good input is back: " + p);
        }
        const double ratio = reference.rms() > 0 ? after.rms() / reference.rms() : 1.0;
        if (!(ratio > 0.5 && ratio < 2.0)) {
            std::ostringstream s;
            s << b.name << " input: no recovery, level " << ratio
              << "x that of an undisturbed instance";
            return fail(s.str());
        }
    }
    return pass("NaN, Inf, huge and subnormal samples");
}

Outcome fpState(CheckContext& ctx, Session& s) {
    s.start(44100, 512);
    const unsigned original = readFpControl();
    // The caller's mode as it is, with flushing on, and with rounding toward zero.
    const unsigned modes[] = {original, original | fpFlushBits(), original | 0x6000u};
    for (unsigned mode : modes) {
        writeFpControl(mode);
        for (Kind kind : {Kind::Noise, Kind::Silence}) {
            SignalGenerator gen(kind, ctx.seed);
            s.run(gen, 8192, 512);
        }
        writeFpControl(original);
        if (s.fpStateChanges != 0) {
            std::ostringstream m;
            m << std::hex << "floating-point control state 0x" << s.fpBefore << " left as 0x"
              << s.fpAfter << " after processReplacing";
            return fail(m.str());
        }
    }
    return pass();
}

Outcome denormalTail(CheckContext& ctx) {
    if (!SignalStats::judgeSubnormals) {
        return skip("this CPU emulation ignores flush-to-zero");
    }
    Outcome failure;
    auto probe = openSession(ctx, failure);
    if (!probe) {
        return failure;
    }
    const int programs =
        ctx.opts.strictness >= 3 ? std::max(1, std::min(probe->numPrograms(), 8)) : 1;
    probe.reset();
    for (int p = 0; p < programs; ++p) {
        auto s = openSession(ctx, failure);
        if (!s) {
            return failure;
        }
        if (s->numPrograms() > 0) {
            s->dispatch(effSetProgram, 0, p);
        }
        s->start(44100, 512);
        SignalGenerator loud(Kind::Noise, ctx.seed);
        s->run(loud, 44100, 512);
        SignalGenerator quiet(Kind::Silence, ctx.seed);
        const SignalStats tail = s->run(quiet, 20 * 44100, 512);
        if (auto why = tail.problem(ctx.opts.outputBound); !why.empty()) {
            return fail("program " + std::to_string(p) + ", 20 s of silence after noise: " + why);
        }
    }
    return pass(std::to_string(programs) + " program(s), 20 s tails");
}

} // namespace

void addNumericsChecks(std::vector<Check>& checks) {
    checks.push_back({"numerics", "extreme-settings-and-signals", 1, extremes});
    checks.push_back({"numerics", "bad-input-samples", 1, badInput});
    checks.push_back({"numerics", "fp-state-preserved", 1, withSession<fpState>});
    checks.push_back({"numerics", "silence-tail-no-subnormals", 1, denormalTail});
}

} // namespace gravelix::validator

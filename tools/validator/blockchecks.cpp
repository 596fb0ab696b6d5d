// Block shapes and sample rates hosts really use: odd and empty blocks, in-place buffers,
// splits at arbitrary points, rate changes.
#include "check.h"
#include "session.h"

#include <random>
#include <sstream>

namespace gravelix::validator {
namespace {

constexpr int kSizes[] = {0, 1, 2, 3, 31, 64, 127, 512, 4096};
constexpr float kUntouched = 1234.5f;

// Every sample at index >= frames must still hold kUntouched.
bool tailUntouched(const AudioBuffers& out, int frames) {
    for (int c = 0; c < out.numChannels(); ++c) {
        for (int i = frames; i < out.frames(); ++i) {
            if (out.channel(c)[i] != kUntouched) {
                return false;
            }
        }
    }
    return true;
}

// One block of n frames into outputs preset to kUntouched: it must stay inside the block and
// give sound output.
Outcome processBlock(Session& s, AudioBuffers& in, AudioBuffers& out, int n, float bound) {
    out.fill(kUntouched);
    s.process(in, out, n);
    if (!out.guardsIntact() || !tailUntouched(out, n)) {
        return fail("block of " + std::to_string(n) + " wrote outside the block");
    }
    SignalStats st;
    st.add(out, n);
    if (auto p = st.problem(bound); !p.empty()) {
        return fail("block of " + std::to_string(n) + ": " + p);
    }
    return pass();
}

Outcome blockSizes(CheckContext& ctx, Session& s) {
    s.start(44100, 4096);
    SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed);
    AudioBuffers in = s.inputs(4096);
    AudioBuffers out = s.outputs(4096);
    for (int round = 0; round < 2; ++round) {
        for (int n : kSizes) {
            gen.fill(in, 4096);
            if (Outcome o = processBlock(s, in, out, n, ctx.opts.outputBound);
                o.status != Status::Pass) {
                return o;
            }
        }
    }
    // Negative counts are a host bug, but must not be taken as huge ones.
    out.fill(kUntouched);
    s.process(in, out, -1);
    if (!out.guardsIntact() || !tailUntouched(out, 0)) {
        return fail("a block of -1 frames wrote samples");
    }
    return pass();
}

Outcome randomBlockSizes(CheckContext& ctx, Session& s) {
    s.start(48000, 4096);
    std::mt19937_64 rng(ctx.seed);
    std::uniform_int_distribution<int> size(1, 4096);
    SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed);
    AudioBuffers in = s.inputs(4096);
    AudioBuffers out = s.outputs(4096);
    const int calls = ctx.scaled(100);
    for (int i = 0; i < calls; ++i) {
        const int n = size(rng);
        gen.fill(in, n);
        if (Outcome o = processBlock(s, in, out, n, ctx.opts.outputBound);
            o.status != Status::Pass) {
            return o;
        }
    }
    return pass(std::to_string(calls) + " calls");
}

// Program or random parameter sets to compare two instances under.
void configure(Session& s, int variant, std::uint64_t seed) {
    if (variant < s.numPrograms()) {
        s.dispatch(effSetProgram, 0, variant);
        return;
    }
    std::mt19937_64 rng(seed + std::uint64_t(variant));
    std::uniform_real_distribution<float> uni(0.0f, 1.0f);
    for (int i = 0; i < s.numParams(); ++i) {
        const float v = uni(rng);
        // Switch-like parameters are probed at their ends too.
        s.host().setParameter(i, (rng() % 3 == 0) ? float(rng() % 2) : v);
    }
}

// Two fresh instances under the same set, started at 44.1 kHz; null ones when either fails.
struct Pair {
    std::unique_ptr<Session> a, b;
};
Pair openPair(const CheckContext& ctx, int variant, int blockSize, Outcome& failure) {
    Pair p{openSession(ctx, failure), openSession(ctx, failure)};
    if (!p.a || !p.b) {
        return {};
    }
    configure(*p.a, variant, ctx.seed);
    configure(*p.b, variant, ctx.seed);
    p.a->start(44100, blockSize);
    p.b->start(44100, blockSize);
    return p;
}

int variants(const CheckContext& ctx, Session& s) {
    return std::max(1, std::min(s.numPrograms(), 8)) + (ctx.opts.strictness >= 5 ? 3 : 1);
}

Outcome inPlace(CheckContext& ctx) {
    Outcome failure;
    auto probe = openSession(ctx, failure);
    if (!probe) {
        return failure;
    }
    if (probe->numInputs() != probe->numOutputs()) {
        return skip("inputs and outputs differ in number");
    }
    const int count = variants(ctx, *probe);
    probe.reset();
    for (int v = 0; v < count; ++v) {
        auto [a, b] = openPair(ctx, v, 512, failure);
        if (!a) {
            return failure;
        }
        SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed);
        AudioBuffers in = a->inputs(512);
        AudioBuffers outA = a->outputs(512);
        AudioBuffers shared = b->outputs(512);
        for (int block = 0; block < 40; ++block) {
            gen.fill(in, 512);
            shared.copyFrom(in, 512);
            a->process(in, outA, 512);
            b->process(shared, shared, 512);
            if (!outA.sameBits(shared)) {
                return fail("variant " + std::to_string(v) + ", block " + std::to_string(block) +
                            ": in-place output differs from out-of-place");
            }
        }
    }
    return pass(std::to_string(count) + " program/parameter sets");
}

Outcome inputsUntouched(CheckContext& ctx, Session& s) {
    s.start(44100, 512);
    SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed);
    AudioBuffers in = s.inputs(512);
    AudioBuffers copy = s.inputs(512);
    AudioBuffers out = s.outputs(512);
    for (int block = 0; block < 20; ++block) {
        gen.fill(in, 512);
        copy.copyFrom(in, 512);
        s.process(in, out, 512);
        if (!in.sameBits(copy) || !in.guardsIntact()) {
            return fail("processing changed the input buffers");
        }
    }
    return pass();
}

Outcome subBlocks(CheckContext& ctx) {
    Outcome failure;
    constexpr int kTotal = 8192;
    const int rounds = ctx.scaled(3);
    std::mt19937_64 rng(ctx.seed);
    for (int r = 0; r < rounds; ++r) {
        auto [a, b] = openPair(ctx, r, kTotal, failure);
        if (!a) {
            return failure;
        }
        SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed + std::uint64_t(r));
        AudioBuffers in = a->inputs(kTotal);
        gen.fill(in, kTotal);
        AudioBuffers whole = a->outputs(kTotal);
        a->process(in, whole, kTotal);
        AudioBuffers pieces = b->outputs(kTotal);
        std::vector<float*> ip(std::size_t(in.numChannels())),
            op(std::size_t(pieces.numChannels()));
        std::uniform_int_distribution<int> size(0, r == 0 ? 3 : 700);
        for (int done = 0; done < kTotal;) {
            const int n = std::min(size(rng), kTotal - done);
            for (std::size_t c = 0; c < ip.size(); ++c) {
                ip[c] = in.channel(int(c)) + done;
            }
            for (std::size_t c = 0; c < op.size(); ++c) {
                op[c] = pieces.channel(int(c)) + done;
            }
            b->process(ip.data(), op.data(), n);
            done += n;
        }
        if (!whole.sameBits(pieces)) {
            return fail("set " + std::to_string(r) +
                        ": output split into sub-blocks differs from one block");
        }
    }
    return pass(std::to_string(rounds) + " random splits");
}

constexpr float kRates[] = {8000, 22050, 44100, 48000, 88200, 96000, 192000, 384000};

Outcome sampleRates(CheckContext& ctx) {
    Outcome failure;
    for (float rate : kRates) {
        auto s = openSession(ctx, failure);
        if (!s) {
            return failure;
        }
        s->start(rate, 1024);
        SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed, rate);
        const SignalStats st = s->run(gen, int(rate), 1024);
        if (auto p = st.problem(ctx.opts.outputBound); !p.empty()) {
            return fail(std::to_string(int(rate)) + " Hz: " + p);
        }
        if (st.rms() == 0.0) {
            return fail(std::to_string(int(rate)) + " Hz: silent output for full-scale noise");
        }
    }
    return pass("8 rates from 8000 to 384000 Hz");
}

Outcome rateChanges(CheckContext& ctx, Session& s) {
    s.start(44100, 512);
    SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed);
    std::mt19937_64 rng(ctx.seed);
    const int changes = ctx.scaled(12);
    for (int i = 0; i < changes; ++i) {
        const float rate = kRates[rng() % std::size(kRates)];
        const bool withSuspend = i % 2 == 0;
        if (withSuspend) {
            s.stop();
            s.host().setSampleRate(rate);
            s.host().resume();
        } else {
            s.host().setSampleRate(rate);
        }
        const SignalStats st = s.run(gen, 8192, 512);
        if (auto p = st.problem(ctx.opts.outputBound); !p.empty()) {
            return fail("after a change to " + std::to_string(int(rate)) + " Hz " +
                        (withSuspend ? "with" : "without") + " suspend: " + p);
        }
    }
    return pass(std::to_string(changes) + " changes, half without suspend");
}

Outcome deterministic(CheckContext& ctx) {
    Outcome failure;
    auto a = openSession(ctx, failure);
    if (!a) {
        return failure;
    }
    // Warm one instance up first, close it, then compare two fresh ones: leftovers in
    // library-wide state show up as a difference.
    a->start(44100, 512);
    SignalGenerator warm(SignalGenerator::Kind::Overdrive, ctx.seed + 1);
    a->run(warm, 44100, 512);
    a.reset();
    auto b = openSession(ctx, failure);
    auto c = openSession(ctx, failure);
    if (!b || !c) {
        return failure;
    }
    b->start(44100, 512);
    c->start(44100, 512);
    SignalGenerator gb(SignalGenerator::Kind::Noise, ctx.seed);
    SignalGenerator gc(SignalGenerator::Kind::Noise, ctx.seed);
    AudioBuffers in = b->inputs(512);
    AudioBuffers in2 = c->inputs(512);
    AudioBuffers ob = b->outputs(512);
    AudioBuffers oc = c->outputs(512);
    for (int block = 0; block < 100; ++block) {
        gb.fill(in, 512);
        gc.fill(in2, 512);
        b->process(in, ob, 512);
        c->process(in2, oc, 512);
        if (!ob.sameBits(oc)) {
            return fail("fresh instances differ at block " + std::to_string(block));
        }
    }
    return pass();
}

} // namespace

void addBlockChecks(std::vector<Check>& checks) {
    checks.push_back({"block", "block-sizes", 1, withSession<blockSizes>});
    checks.push_back({"block", "random-block-sizes", 2, withSession<randomBlockSizes>});
    checks.push_back({"block", "in-place", 1, inPlace});
    checks.push_back({"block", "inputs-untouched", 1, withSession<inputsUntouched>});
    checks.push_back({"block", "sub-blocks", 1, subBlocks});
    checks.push_back({"block", "sample-rates", 1, sampleRates});
    checks.push_back({"block", "rate-changes", 2, withSession<rateChanges>});
    checks.push_back({"block", "fresh-instance-identical", 1, deterministic});
}

} // namespace gravelix::validator

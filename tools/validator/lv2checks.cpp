// The rules of LV2 that hosts depend on and that the effect record the bridge presents cannot
// show, driven on instances of the plug-in's descriptor directly: ports connected before
// activation and moved between runs, runs of no frames, activate/deactivate cycles and control
// ports changed between blocks. Run for LV2 plug-ins only.
#include "check.h"
#include "session.h"
#include "tools/hosting/lv2bridge.h"
#include "tools/hosting/lv2urimap.h"

#include <lv2/atom/atom.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

namespace gravelix::validator {
namespace {

using host::Lv2Bridge;
using PortKind = Lv2Bridge::PortKind;

constexpr int kBlock = 256;
// What an output holds before a run; a plug-in that leaves it there wrote nothing.
constexpr float kUnwritten = 12345.0f;

// One instance of the plug-in the session hosts, made with the bridge's features, its control
// inputs on their defaults (or values the check sets) and every other port on buffers of its own.
class Instance {
public:
    Instance(Lv2Bridge& b, double rate) : b_(b) {
        std::lock_guard lock(b.plugin().worldMutex());
        instance_ = lilv_plugin_instantiate(b.plugin().plugin(), rate, b.features());
        if (!instance_) {
            return;
        }
        const auto& ports = b.ports();
        controls_.resize(ports.size());
        atoms_.resize(ports.size());
        silence_.assign(kBlock * 4, 0.0f);
        scratch_.assign(kBlock * 4, 0.0f);
        const LV2_URID sequence = host::Lv2UriMap::instance().map(LV2_ATOM__Sequence);
        for (const auto& p : ports) {
            void* data = nullptr;
            switch (p.kind) {
            case PortKind::Control:
                controls_[p.index] =
                    p.designation == Lv2Bridge::Designation::SampleRate ? static_cast<float>(rate)
                    : p.designation == Lv2Bridge::Designation::FreeWheeling ? 0.0f
                                                                            : p.def;
                data = &controls_[p.index];
                break;
            case PortKind::Atom: {
                atoms_[p.index].assign(1024, 0);
                auto* seq = reinterpret_cast<LV2_Atom_Sequence*>(atoms_[p.index].data());
                seq->atom.type = sequence;
                seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
                data = atoms_[p.index].data();
                break;
            }
            default:
                data = p.input ? silence_.data() : scratch_.data();
                break;
            }
            lilv_instance_connect_port(instance_, p.index, data);
        }
    }
    ~Instance() {
        if (instance_) {
            if (active_) {
                lilv_instance_deactivate(instance_);
            }
            lilv_instance_free(instance_);
        }
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return instance_ != nullptr; }
    void activate() {
        lilv_instance_activate(instance_);
        active_ = true;
    }
    void deactivate() {
        lilv_instance_deactivate(instance_);
        active_ = false;
    }
    float& control(std::uint32_t port) { return controls_[port]; }
    void connect(AudioBuffers& in, AudioBuffers& out, int offset = 0) {
        const auto& ins = audioPorts(true);
        const auto& outs = audioPorts(false);
        for (std::size_t c = 0; c < ins.size(); ++c) {
            lilv_instance_connect_port(instance_, ins[c], in.channel(static_cast<int>(c)) + offset);
        }
        for (std::size_t c = 0; c < outs.size(); ++c) {
            lilv_instance_connect_port(instance_, outs[c],
                                       out.channel(static_cast<int>(c)) + offset);
        }
    }
    void run(std::uint32_t frames) { lilv_instance_run(instance_, frames); }

    std::vector<std::uint32_t> audioPorts(bool input) const {
        std::vector<std::uint32_t> out;
        for (const auto& p : b_.ports()) {
            if (p.kind == PortKind::Audio && p.input == input) {
                out.push_back(p.index);
            }
        }
        return out;
    }

private:
    Lv2Bridge& b_;
    LilvInstance* instance_ = nullptr;
    bool active_ = false;
    std::vector<float> controls_, silence_, scratch_;
    std::vector<std::vector<std::uint64_t>> atoms_;
};

template <Outcome (*F)(CheckContext&, Session&, Lv2Bridge&)>
Outcome withBridge(CheckContext& ctx, Session& s) {
    Lv2Bridge* b = s.host().lv2Bridge();
    return b ? F(ctx, s, *b) : skip("not an LV2 plug-in");
}

// A test signal that excites every plug-in alike: noise at -12 dBFS, the same for each instance.
void fillSignal(AudioBuffers& in, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<float> uni(-0.25f, 0.25f);
    for (int c = 0; c < in.numChannels(); ++c) {
        for (int i = 0; i < in.frames(); ++i) {
            in.channel(c)[i] = uni(rng);
        }
    }
}

// Connects, activates (as hosts do, in that order) and runs `blocks` blocks of `in`; the output
// of every block, one after the other.
AudioBuffers runStable(Instance& inst, AudioBuffers& in, int blocks, Session& s) {
    AudioBuffers out = s.outputs(kBlock * blocks);
    inst.connect(in, out);
    inst.activate();
    for (int k = 0; k < blocks; ++k) {
        inst.connect(in, out, k * kBlock);
        inst.run(kBlock);
    }
    return out;
}

std::string portName(const Lv2Bridge& b, std::uint32_t port) {
    return "port " + std::to_string(port) + " (" + b.ports()[port].symbol + ")";
}

Outcome connectBetweenRuns(CheckContext& ctx, Session& s, Lv2Bridge& b) {
    const int blocks = ctx.scaled(4);
    AudioBuffers in = s.inputs(kBlock * blocks);
    fillSignal(in, ctx.seed);
    const double rate = 44100.0;
    Instance first(b, rate), second(b, rate);
    if (!first.ok() || !second.ok()) {
        return fail("the plug-in made no instance");
    }
    const AudioBuffers reference = runStable(first, in, blocks, s);
    {
        // A plug-in whose output is not the same twice (noise, time) cannot be compared.
        Instance again(b, rate);
        if (!again.ok() || !runStable(again, in, blocks, s).sameBits(reference)) {
            return skip("two fresh instances give different output");
        }
    }

    // The same blocks through two buffer sets taken in turn, connected before activation and
    // moved before every run: the plug-in must use the buffers of this run, and only them.
    AudioBuffers inA = s.inputs(kBlock), inB = s.inputs(kBlock);
    AudioBuffers outA = s.outputs(kBlock), outB = s.outputs(kBlock);
    AudioBuffers collected = s.outputs(kBlock * blocks);
    second.connect(inA, outA);
    second.activate();
    for (int k = 0; k < blocks; ++k) {
        AudioBuffers& now = k % 2 ? inB : inA;
        AudioBuffers& out = k % 2 ? outB : outA;
        AudioBuffers& other = k % 2 ? outA : outB;
        for (int c = 0; c < now.numChannels(); ++c) {
            std::memcpy(now.channel(c), in.channel(c) + k * kBlock, sizeof(float) * kBlock);
        }
        out.fill(kUnwritten);
        other.fill(kUnwritten);
        if (k > 0) {
            second.connect(now, out);
        }
        second.run(kBlock);
        for (int c = 0; c < other.numChannels(); ++c) {
            for (int i = 0; i < kBlock; ++i) {
                if (other.channel(c)[i] != kUnwritten) {
                    std::ostringstream m;
                    m << "run " << k << " wrote output " << c
                      << " into the buffer of an earlier run, connected away from it";
                    return fail(m.str());
                }
            }
            std::memcpy(collected.channel(c) + k * kBlock, out.channel(c), sizeof(float) * kBlock);
        }
        if (!out.guardsIntact() || !other.guardsIntact()) {
            return fail("run " + std::to_string(k) + " wrote outside its output buffers");
        }
    }
    if (!collected.sameBits(reference)) {
        return fail("with its buffers moved between runs the output differs from the output "
                    "with buffers connected once");
    }
    return pass(std::to_string(blocks) + " runs, buffers moved before each");
}

Outcome zeroFrames(CheckContext& ctx, Session& s, Lv2Bridge& b) {
    AudioBuffers in = s.inputs(kBlock), out = s.outputs(kBlock);
    fillSignal(in, ctx.seed);
    AudioBuffers inCopy = s.inputs(kBlock);
    inCopy.copyFrom(in, kBlock);
    Instance inst(b, 44100.0), fresh(b, 44100.0);
    if (!inst.ok() || !fresh.ok()) {
        return fail("the plug-in made no instance");
    }
    inst.connect(in, out);
    inst.activate();
    for (int round = 0; round < ctx.scaled(2); ++round) {
        out.fill(kUnwritten);
        inst.run(0);
        for (int c = 0; c < out.numChannels(); ++c) {
            for (int i = 0; i < kBlock; ++i) {
                if (out.channel(c)[i] != kUnwritten) {
                    std::ostringstream m;
                    m << "a run of 0 frames wrote sample " << i << " of output " << c;
                    return fail(m.str());
                }
            }
        }
        if (!out.guardsIntact() || !in.guardsIntact()) {
            return fail("a run of 0 frames wrote outside the buffers");
        }
        if (!in.sameBits(inCopy)) {
            return fail("a run of 0 frames changed the input");
        }
    }
    // Runs of nothing leave no trace: the next block sounds as a fresh instance's first.
    inst.run(kBlock);
    AudioBuffers reference = s.outputs(kBlock);
    fresh.connect(in, reference);
    fresh.activate();
    fresh.run(kBlock);
    if (!out.sameBits(reference)) {
        return fail("after runs of 0 frames the next block differs from a fresh instance's");
    }
    return pass();
}

Outcome activateCycles(CheckContext& ctx, Session& s, Lv2Bridge& b) {
    constexpr int kBlocks = 4;
    AudioBuffers in = s.inputs(kBlock * kBlocks);
    fillSignal(in, ctx.seed);
    Instance inst(b, 48000.0);
    if (!inst.ok()) {
        return fail("the plug-in made no instance");
    }
    const AudioBuffers first = runStable(inst, in, kBlocks, s);
    SignalStats stats;
    stats.add(first, first.frames());
    if (stats.nonFinite > 0) {
        return fail("the first activation's output is not finite");
    }
    const int cycles = ctx.scaled(3);
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        inst.deactivate();
        const AudioBuffers again = runStable(inst, in, kBlocks, s);
        if (!again.sameBits(first)) {
            // activate starts a new stream: nothing of the old one may carry over.
            return fail("after deactivate and activate (cycle " + std::to_string(cycle) +
                        ") the same input sounds different: activate did not reset the "
                        "plug-in's state, or the plug-in fails after a cycle");
        }
    }
    return pass(std::to_string(cycles) + " cycles");
}

Outcome controlsBetweenBlocks(CheckContext& ctx, Session& s, Lv2Bridge& b) {
    constexpr int kBlocks = 4, kChangeAt = 2;
    AudioBuffers in = s.inputs(kBlock * kBlocks);
    fillSignal(in, ctx.seed);
    int audible = 0;
    for (std::uint32_t port : b.parameterPorts()) {
        const auto& p = b.ports()[port];
        const float from = p.min, to = p.max;
        if (!(to > from)) {
            continue;
        }
        const auto render = [&](float before, float after, AudioBuffers& out) {
            Instance inst(b, 44100.0);
            if (!inst.ok()) {
                return false;
            }
            inst.control(port) = before;
            inst.connect(in, out);
            inst.activate();
            for (int k = 0; k < kBlocks; ++k) {
                if (k == kChangeAt) {
                    inst.control(port) = after;
                }
                inst.connect(in, out, k * kBlock);
                inst.run(kBlock);
            }
            return true;
        };
        AudioBuffers stayed = s.outputs(kBlock * kBlocks), other = s.outputs(kBlock * kBlocks),
                     changed = s.outputs(kBlock * kBlocks);
        if (!render(from, from, stayed) || !render(to, to, other) || !render(from, to, changed)) {
            return fail("the plug-in made no instance");
        }
        const auto tailDiffers = [&](const AudioBuffers& a, const AudioBuffers& c) {
            for (int ch = 0; ch < a.numChannels(); ++ch) {
                if (std::memcmp(a.channel(ch) + kChangeAt * kBlock,
                                c.channel(ch) + kChangeAt * kBlock,
                                sizeof(float) * kBlock * (kBlocks - kChangeAt)) != 0) {
                    return true;
                }
            }
            return false;
        };
        if (!tailDiffers(stayed, other)) {
            continue; // the control does not change this signal
        }
        ++audible;
        if (!tailDiffers(stayed, changed)) {
            return fail(portName(b, port) + " changed between blocks made no difference, though "
                                            "the plug-in sounds different at its new value: it "
                                            "reads the port only at activation");
        }
    }
    return pass(std::to_string(audible) + " of " + std::to_string(b.parameterPorts().size()) +
                " controls audible and taken between blocks");
}

} // namespace

void addLv2Checks(std::vector<Check>& checks) {
    checks.push_back(
        {"lv2", "connect-before-and-between-runs", 1, withSession<withBridge<connectBetweenRuns>>});
    checks.push_back({"lv2", "run-zero-frames", 1, withSession<withBridge<zeroFrames>>});
    checks.push_back(
        {"lv2", "activate-deactivate-cycles", 1, withSession<withBridge<activateCycles>>});
    checks.push_back(
        {"lv2", "controls-between-blocks", 1, withSession<withBridge<controlsBetweenBlocks>>});
}

} // namespace gravelix::validator

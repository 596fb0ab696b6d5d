// The rules of VST3 that hosts depend on and that the effect record the bridge presents cannot
// show: parameter changes flushed in a block without audio, the controller taking the
// component's state, a clean start after reactivation, and bus arrangements refused without
// harm. Run for VST3 plug-ins only.
#include "check.h"
#include "session.h"
#include "tools/hosting/vst3bridge.h"

#include <pluginterfaces/vst/vstspeaker.h>
#include <public.sdk/source/common/memorystream.h>

#include <cmath>
#include <random>
#include <sstream>

namespace gravelix::validator {
namespace {

using host::Vst3Bridge;
using namespace Steinberg;
using namespace Steinberg::Vst;

using Bytes = std::vector<std::uint8_t>;

bool writable(const ParameterInfo& info) {
    return (info.flags & ParameterInfo::kIsReadOnly) == 0;
}

std::string paramName(const Vst3Bridge& b, std::size_t i) {
    return "parameter " + std::to_string(i) + " (" + host::vst3Utf8(b.paramInfos()[i].title, 128) +
           ")";
}

// A setting on the parameter's own grid, so that a stepped one keeps it exactly.
double onGrid(const ParameterInfo& info, double v) {
    return info.stepCount > 0 ? std::round(v * info.stepCount) / info.stepCount : v;
}

Bytes componentState(const Vst3Bridge& b) {
    MemoryStream stream;
    if (b.component()->getState(&stream) != kResultOk) {
        return {};
    }
    const auto* data = reinterpret_cast<const std::uint8_t*>(stream.getData());
    return {data, data + stream.getSize()};
}

template <Outcome (*F)(CheckContext&, Session&, Vst3Bridge&)>
Outcome withBridge(CheckContext& ctx, Session& s) {
    Vst3Bridge* b = s.host().vst3Bridge();
    return b ? F(ctx, s, *b) : skip("not a VST3 plug-in");
}

// The first writable parameter, and a setting of it away from where it is now (one a float
// holds exactly, as the record passes floats).
int pickParameter(Vst3Bridge& b, double& value) {
    for (std::size_t i = 0; i < b.paramInfos().size(); ++i) {
        const ParameterInfo& info = b.paramInfos()[i];
        if (writable(info)) {
            const double now = b.controller()->getParamNormalized(info.id);
            value = static_cast<float>(onGrid(info, now < 0.5 ? 0.875 : 0.125));
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Hosts send parameter changes between blocks of audio, and while the transport stands, as a
// process call of no frames and no buses; a processor that only looks at changes when there
// is audio loses them.
Outcome parameterFlush(CheckContext& ctx, Session&, Vst3Bridge& b) {
    double value = 0.0;
    const int index = pickParameter(b, value);
    if (index < 0) {
        return skip("no writable parameter");
    }
    const ParamID id = b.paramInfos()[static_cast<std::size_t>(index)].id;
    const Bytes before = componentState(b);

    // The same change through a block with audio, on an instance of its own.
    Session other(ctx);
    Vst3Bridge& ob = *other.host().vst3Bridge();
    other.host().setParameter(index, static_cast<float>(value));
    constexpr int kFrames = 64;
    AudioBuffers in = other.inputs(kFrames), out = other.outputs(kFrames);
    in.fill(0.0f);
    other.start(44100, kFrames);
    other.process(in, out, kFrames);
    other.stop();
    const Bytes withAudio = componentState(ob);
    if (withAudio == before) {
        return skip("the component's state does not show parameter changes");
    }

    ProcessSetup setup = b.processSetup();
    b.processor()->setupProcessing(setup);
    b.component()->setActive(true);
    b.processor()->setProcessing(true);
    host::Vst3ParameterChanges changes;
    changes.reserve(1);
    changes.set(id, value);
    ProcessData data;
    data.processMode = setup.processMode;
    data.symbolicSampleSize = kSample32;
    data.numSamples = 0;
    data.inputParameterChanges = &changes;
    const tresult result = b.processor()->process(data);
    b.processor()->setProcessing(false);
    b.component()->setActive(false);
    if (result != kResultOk) {
        return fail("the processor refused a block of no frames and no buses (result " +
                    std::to_string(result) + ")");
    }
    const Bytes flushed = componentState(b);
    if (flushed == before) {
        return fail("the processor did not take " + paramName(b, static_cast<std::size_t>(index)) +
                    " from a block of no frames and no buses");
    }
    if (flushed != withAudio) {
        return fail("the state after a flush of " + paramName(b, static_cast<std::size_t>(index)) +
                    " differs from the one the same change leaves in a block with audio");
    }
    return pass();
}

// A host restores a project by giving the component its state and the controller the same
// bytes; some hand the controller a stream that does not start at its beginning.
Outcome controllerState(CheckContext& ctx, Session& s, Vst3Bridge& b) {
    std::mt19937_64 rng(ctx.seed);
    std::uniform_real_distribution<double> uni(0.05, 0.95);
    std::vector<double> set(b.paramInfos().size(), -1.0);
    for (std::size_t i = 0; i < b.paramInfos().size(); ++i) {
        if (writable(b.paramInfos()[i])) {
            set[i] = static_cast<float>(onGrid(b.paramInfos()[i], uni(rng)));
            s.host().setParameter(static_cast<VstInt32>(i), static_cast<float>(set[i]));
        }
    }
    void* chunk = nullptr;
    s.dispatch(effGetChunk, 0, 0, &chunk); // reaches the processor with what was set
    const Bytes state = componentState(b);
    if (state.empty()) {
        return skip("the component saves no state");
    }
    if (b.singleComponent()) {
        return skip("component and controller are one object");
    }
    constexpr std::size_t kOffset = 16;
    for (const bool offset : {false, true}) {
        Session fresh(ctx);
        Vst3Bridge& fb = *fresh.host().vst3Bridge();
        MemoryStream stream;
        if (offset) {
            const Bytes prefix(kOffset, 0xA5);
            stream.write(const_cast<std::uint8_t*>(prefix.data()), kOffset, nullptr);
        }
        stream.write(const_cast<std::uint8_t*>(state.data()), static_cast<int32>(state.size()),
                     nullptr);
        stream.seek(offset ? kOffset : 0, IBStream::kIBSeekSet, nullptr);
        const char* how = offset ? " from a stream starting 16 bytes in" : "";
        if (fb.controller()->setComponentState(&stream) != kResultOk) {
            return fail(std::string("the controller refused the component's state") + how);
        }
        for (std::size_t i = 0; i < set.size(); ++i) {
            if (set[i] < 0.0) {
                continue;
            }
            const double shown = fb.controller()->getParamNormalized(fb.paramInfos()[i].id);
            if (!(std::fabs(shown - set[i]) <= 1e-4)) {
                std::ostringstream m;
                m << "after setComponentState" << how << " the controller shows " << paramName(b, i)
                  << " at " << shown << ", the component holds " << set[i];
                return fail(m.str());
            }
        }
    }
    return pass();
}

// Hosts deactivate and reactivate a plug-in to change the stream format or to start again
// from silence; what it plays afterwards must be what a fresh instance plays.
Outcome reactivation(CheckContext& ctx, Session& s, Vst3Bridge& b) {
    std::mt19937_64 rng(ctx.seed);
    std::uniform_real_distribution<float> uni(0.0f, 1.0f);
    std::vector<float> settings(b.paramInfos().size(), -1.0f);
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (writable(b.paramInfos()[i])) {
            settings[i] = uni(rng);
            s.host().setParameter(static_cast<VstInt32>(i), settings[i]);
        }
    }
    constexpr int kBlock = 256;
    SignalGenerator loud(SignalGenerator::Kind::Overdrive, ctx.seed);
    s.start(44100, kBlock);
    s.run(loud, 8 * kBlock, kBlock);
    s.stop();

    // The order hosts use, made here so that each answer is seen.
    ProcessSetup setup = b.processSetup();
    setup.sampleRate = 48000;
    const auto okOrUnused = [](tresult r) { return r == kResultOk || r == kNotImplemented; };
    if (b.processor()->setupProcessing(setup) != kResultOk) {
        return fail("setupProcessing refused 48 kHz while inactive");
    }
    if (b.component()->setActive(true) != kResultOk) {
        return fail("setActive(true) failed after setupProcessing");
    }
    if (!okOrUnused(b.processor()->setProcessing(true))) {
        b.component()->setActive(false);
        return fail("setProcessing(true) failed after setActive(true)");
    }
    const bool stopped = okOrUnused(b.processor()->setProcessing(false));
    const bool deactivated = b.component()->setActive(false) == kResultOk;
    if (!stopped || !deactivated) {
        return fail(!stopped ? "setProcessing(false) failed" : "setActive(false) failed");
    }

    const auto play = [&](Session& session) {
        session.start(48000, kBlock);
        SignalGenerator signal(SignalGenerator::Kind::Sine, ctx.seed, 48000);
        AudioBuffers in = session.inputs(kBlock), out = session.outputs(4 * kBlock);
        AudioBuffers block = session.outputs(kBlock);
        std::vector<float> played;
        for (int k = 0; k < 4; ++k) {
            signal.fill(in, kBlock);
            session.process(in, block, kBlock);
            for (int c = 0; c < block.numChannels(); ++c) {
                played.insert(played.end(), block.channel(c), block.channel(c) + kBlock);
            }
        }
        session.stop();
        return played;
    };
    const std::vector<float> again = play(s);
    Session fresh(ctx);
    for (std::size_t i = 0; i < settings.size(); ++i) {
        if (settings[i] >= 0.0f) {
            fresh.host().setParameter(static_cast<VstInt32>(i), settings[i]);
        }
    }
    const std::vector<float> first = play(fresh);
    double worst = 0.0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < first.size() && i < again.size(); ++i) {
        const double d = std::fabs(static_cast<double>(first[i]) - again[i]);
        if (d > worst || std::isnan(d)) {
            worst = std::isnan(d) ? INFINITY : d;
            at = i;
        }
    }
    if (first.size() != again.size() || worst > 1e-5) {
        std::ostringstream m;
        m << "after deactivating and reactivating, the output differs from a fresh instance's by "
          << worst << " at sample " << at % (4 * kBlock)
          << ": setActive(true) keeps what was played before";
        return fail(m.str());
    }
    return pass();
}

std::string arrangementName(SpeakerArrangement a) {
    switch (a) {
    case SpeakerArr::kMono:
        return "mono";
    case SpeakerArr::kStereo:
        return "stereo";
    case SpeakerArr::k51:
        return "5.1";
    case SpeakerArr::kEmpty:
        return "no speakers";
    default:
        return std::to_string(SpeakerArr::getChannelCount(a)) + " channels";
    }
}

// Hosts offer the arrangements of their tracks; a plug-in that cannot follow must say no and
// keep its own, or the host feeds it buffers of a shape it does not expect.
Outcome busArrangements(CheckContext&, Session& s, Vst3Bridge& b) {
    IAudioProcessor* p = b.processor();
    IComponent* c = b.component();
    if (c->getBusCount(kAudio, kInput) < 1 || c->getBusCount(kAudio, kOutput) < 1) {
        return skip("no audio input and output bus");
    }
    SpeakerArrangement ownIn = 0, ownOut = 0;
    p->getBusArrangement(kInput, 0, ownIn);
    p->getBusArrangement(kOutput, 0, ownOut);
    const auto restore = [&] {
        SpeakerArrangement in = ownIn, out = ownOut;
        return p->setBusArrangements(&in, 1, &out, 1) == kResultTrue;
    };
    if (!restore()) {
        return fail("refused the arrangement it reports (" + arrangementName(ownIn) + " in, " +
                    arrangementName(ownOut) + " out)");
    }
    struct Offer {
        std::vector<SpeakerArrangement> in, out;
    };
    const std::vector<Offer> offers = {
        {{SpeakerArr::k51}, {SpeakerArr::k51}},
        {{SpeakerArr::kStereo}, {SpeakerArr::kMono}},
        {{SpeakerArr::kMono}, {SpeakerArr::kMono}},
        {{SpeakerArr::kStereo, SpeakerArr::kStereo, SpeakerArr::kStereo}, {SpeakerArr::kStereo}},
        {{SpeakerArr::kEmpty}, {SpeakerArr::kStereo}},
    };
    int refused = 0;
    for (Offer o : offers) {
        const std::string name = arrangementName(o.in[0]) +
                                 (o.in.size() > 1 ? " x" + std::to_string(o.in.size()) : "") +
                                 " in, " + arrangementName(o.out[0]) + " out";
        const tresult r = p->setBusArrangements(o.in.data(), static_cast<int32>(o.in.size()),
                                                o.out.data(), static_cast<int32>(o.out.size()));
        SpeakerArrangement nowIn = 0, nowOut = 0;
        p->getBusArrangement(kInput, 0, nowIn);
        p->getBusArrangement(kOutput, 0, nowOut);
        const std::string now = arrangementName(nowIn) + " in, " + arrangementName(nowOut) + " out";
        if (r == kResultTrue) {
            const bool multi =
                o.in.size() != static_cast<std::size_t>(c->getBusCount(kAudio, kInput));
            if (multi || nowIn != o.in[0] || nowOut != o.out[0]) {
                return fail("accepted " + name + " but reports " + now);
            }
        } else {
            ++refused;
            if (nowIn != ownIn || nowOut != ownOut) {
                return fail("refused " + name + " but changed its arrangement to " + now);
            }
        }
        if (!restore()) {
            return fail("after an offer of " + name + " refused its own arrangement again");
        }
    }

    // Still playing at its own arrangement.
    constexpr int kBlock = 256;
    SignalGenerator signal(SignalGenerator::Kind::Noise, 1);
    s.start(44100, kBlock);
    const SignalStats stats = s.run(signal, 4 * kBlock, kBlock);
    s.stop();
    if (const std::string problem = stats.problem(16.0f); !problem.empty()) {
        return fail("after the offers its output " + problem);
    }
    return pass(std::to_string(refused) + " of " + std::to_string(offers.size()) + " refused");
}

} // namespace

void addVst3Checks(std::vector<Check>& checks) {
    checks.push_back({"vst3", "parameter-flush", 1, withSession<withBridge<parameterFlush>>});
    checks.push_back({"vst3", "controller-state", 1, withSession<withBridge<controllerState>>});
    checks.push_back({"vst3", "reactivation", 1, withSession<withBridge<reactivation>>});
    checks.push_back({"vst3", "bus-arrangements", 1, withSession<withBridge<busArrangements>>});
}

} // namespace gravelix::validator

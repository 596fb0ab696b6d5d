// The rules of CLAP that hosts depend on and that the effect record the bridge presents cannot
// show: which thread the plug-in calls the host from, flush while inactive, latency changes,
// state streams, value texts and the descriptor. Run for CLAP plug-ins only.
#include "check.h"
#include "session.h"
#include "tools/hosting/clapbridge.h"

#include <cmath>
#include <random>
#include <sstream>

namespace gravelix::validator {
namespace {

using host::ClapBridge;
using host::ClapHostFunction;

bool writable(const clap_param_info_t& info) {
    return (info.flags & CLAP_PARAM_IS_READONLY) == 0;
}

std::string paramName(const ClapBridge& b, std::size_t i) {
    return "parameter " + std::to_string(i) + " (" + b.paramInfos()[i].name + ")";
}

// The state as the plug-in saves it now; empty when it cannot.
std::vector<std::uint8_t> saved(Session& s) {
    void* data = nullptr;
    const VstIntPtr size = s.dispatch(effGetChunk, 0, 0, &data);
    if (size <= 0 || !data) {
        return {};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return {bytes, bytes + size};
}

bool load(Session& s, const std::vector<std::uint8_t>& bytes) {
    // An empty stream still needs a readable address.
    static const std::uint8_t none = 0;
    return s.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bytes.size()),
                      const_cast<std::uint8_t*>(bytes.empty() ? &none : bytes.data())) != 0;
}

// Every writable parameter at a random setting, so a state is more than the defaults.
void randomise(Session& s, ClapBridge& b, std::mt19937_64& rng) {
    std::uniform_real_distribution<float> uni(0.0f, 1.0f);
    for (std::size_t i = 0; i < b.paramInfos().size(); ++i) {
        if (writable(b.paramInfos()[i])) {
            s.host().setParameter(static_cast<VstInt32>(i), uni(rng));
        }
    }
}

// The bridge of a CLAP session, or null after setting `failure` for a plug-in that is not one.
ClapBridge* bridgeOf(Session& s, Outcome& failure) {
    ClapBridge* b = s.host().clapBridge();
    if (!b) {
        failure = skip("not a CLAP plug-in");
    }
    return b;
}

template <Outcome (*F)(CheckContext&, Session&, ClapBridge&)>
Outcome withBridge(CheckContext& ctx, Session& s) {
    Outcome failure;
    ClapBridge* b = bridgeOf(s, failure);
    return b ? F(ctx, s, *b) : failure;
}

std::size_t firstDifference(const std::vector<std::uint8_t>& a,
                            const std::vector<std::uint8_t>& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) {
        ++i;
    }
    return i;
}

Outcome descriptor(CheckContext&, Session&, ClapBridge& b) {
    const host::ClapDescriptor& d = b.descriptor();
    for (const auto& [field, value] :
         {std::pair{"id", &d.id}, std::pair{"name", &d.name}, std::pair{"vendor", &d.vendor},
          std::pair{"version", &d.version}}) {
        if (value->empty()) {
            return fail(std::string("the descriptor has no ") + field);
        }
    }
    if (d.features.empty()) {
        return fail("the descriptor lists no features");
    }
    return pass(d.id + " " + d.version);
}

// Drives the plug-in through blocks with changing settings, idles between them and sets
// values while inactive: every host call it makes meanwhile is counted by thread.
void exercise(CheckContext& ctx, Session& s, ClapBridge& b) {
    std::mt19937_64 rng(ctx.seed);
    constexpr int kBlock = 256;
    AudioBuffers in = s.inputs(kBlock), out = s.outputs(kBlock);
    in.fill(0.25f);
    s.start(44100, kBlock);
    const std::vector<float> settings = {0.0f, 1.0f, 0.5f, 0.25f};
    for (int round = 0; round < ctx.scaled(4); ++round) {
        for (std::size_t i = 0; i < b.paramInfos().size(); ++i) {
            if (writable(b.paramInfos()[i])) {
                s.host().setParameter(static_cast<VstInt32>(i),
                                      settings[static_cast<std::size_t>(round) % settings.size()]);
            }
        }
        for (int k = 0; k < 4; ++k) {
            s.process(in, out, kBlock);
            s.dispatch(effIdle);
            s.dispatch(effEditIdle);
        }
    }
    s.stop();
    randomise(s, b, rng);
    s.dispatch(effIdle);
}

Outcome mainThreadCalls(CheckContext& ctx, Session& s, ClapBridge& b) {
    b.clearHostCalls();
    exercise(ctx, s, b);
    std::ostringstream bad;
    for (int f = 0; f < static_cast<int>(ClapHostFunction::Count); ++f) {
        const auto function = static_cast<ClapHostFunction>(f);
        if (host::clapHostFunctionIsMainThreadOnly(function) && b.hostCalls(function, true) > 0) {
            bad << (bad.str().empty() ? "" : ", ") << host::clapHostFunctionName(function) << " ("
                << b.hostCalls(function, true) << "x)";
        }
    }
    if (!bad.str().empty()) {
        return fail("main-thread host calls made on the audio thread: " + bad.str());
    }
    return pass();
}

Outcome flushWhileInactive(CheckContext&, Session& s, ClapBridge& b) {
    const clap_plugin_params_t* params = b.params();
    if (!params || b.paramInfos().empty()) {
        return skip("no parameters");
    }
    if (!params->flush) {
        return fail("params.flush is missing");
    }
    if (b.active()) {
        return fail("the plug-in is active before the host activated it");
    }
    for (float setting : {0.75f, 0.25f}) {
        for (std::size_t i = 0; i < b.paramInfos().size(); ++i) {
            const clap_param_info_t& info = b.paramInfos()[i];
            if (!writable(info)) {
                continue;
            }
            const auto index = static_cast<VstInt32>(i);
            s.host().setParameter(index, setting);
            const double sent = b.plainValue(index, setting);
            double now = 0.0;
            if (!params->get_value(b.plugin(), info.id, &now)) {
                return fail("params.get_value failed for " + paramName(b, i));
            }
            if (std::abs(now - sent) > 1e-6 * std::max(1.0, std::abs(sent))) {
                std::ostringstream m;
                m << "flush while inactive did not take " << paramName(b, i) << ": sent " << sent
                  << ", reads " << now;
                return fail(m.str());
            }
        }
    }
    if (b.active()) {
        return fail("flush while inactive activated the plug-in");
    }
    return pass();
}

Outcome latencyThroughRestart(CheckContext& ctx, Session& s, ClapBridge& b) {
    if (!b.latency()) {
        return skip("no latency extension");
    }
    b.clearHostCalls();
    exercise(ctx, s, b);
    if (const std::uint32_t n = b.latencyChangesWhileActive(); n > 0) {
        return fail("latency.changed called " + std::to_string(n) +
                    " time(s) while active; a new latency must wait for request_restart");
    }
    return pass(std::to_string(b.hostCalls(ClapHostFunction::RequestRestart, false) +
                               b.hostCalls(ClapHostFunction::RequestRestart, true)) +
                " restart request(s)");
}

Outcome stateRoundTrip(CheckContext& ctx, Session& s, ClapBridge& b) {
    if (!b.state()) {
        return skip("no state extension");
    }
    std::mt19937_64 rng(ctx.seed);
    for (int round = 0; round < ctx.scaled(3); ++round) {
        randomise(s, b, rng);
        const auto first = saved(s);
        if (first.empty()) {
            return fail("state.save wrote nothing");
        }
        if (!load(s, first)) {
            return fail("state.load refused the state it saved");
        }
        const auto again = saved(s);
        if (again != first) {
            return fail("the state saved after loading it differs from the one loaded, from byte " +
                        std::to_string(firstDifference(first, again)));
        }
        Outcome failure;
        auto other = openSession(ctx, failure);
        if (!other) {
            return failure;
        }
        if (!load(*other, first) || saved(*other) != first) {
            return fail("a new instance loading the state saves a different one");
        }
    }
    return pass(std::to_string(saved(s).size()) + " bytes");
}

Outcome stateBadStreams(CheckContext& ctx, Session& s, ClapBridge& b) {
    if (!b.state()) {
        return skip("no state extension");
    }
    std::mt19937_64 rng(ctx.seed);
    randomise(s, b, rng);
    const auto good = saved(s);
    if (good.empty()) {
        return fail("state.save wrote nothing");
    }
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> refused;
    refused.emplace_back("an empty stream", std::vector<std::uint8_t>{});
    for (std::size_t length : {std::size_t{1}, good.size() / 2, good.size() - 1}) {
        if (length > 0 && length < good.size()) {
            refused.emplace_back("the state cut to " + std::to_string(length) + " bytes",
                                 std::vector<std::uint8_t>(good.begin(), good.begin() + length));
        }
    }
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t length : {good.size(), std::size_t{3}, std::size_t{64}, good.size() * 2}) {
        for (int k = 0; k < ctx.scaled(2); ++k) {
            std::vector<std::uint8_t> garbage(length);
            for (auto& g : garbage) {
                g = static_cast<std::uint8_t>(byte(rng));
            }
            refused.emplace_back(std::to_string(length) + " random bytes", std::move(garbage));
        }
    }
    for (const auto& [what, bytes] : refused) {
        if (load(s, bytes)) {
            return fail("state.load accepted " + what);
        }
        if (saved(s) != good) {
            return fail("refusing " + what + " changed the state");
        }
    }
    // A header byte raised (a newer version, another magic): refused with the state kept, or
    // taken as it is; taking it but saving something else means it was not understood.
    for (std::size_t at = 0; at < std::min<std::size_t>(8, good.size()); ++at) {
        auto altered = good;
        ++altered[at];
        if (!load(s, altered)) {
            if (saved(s) != good) {
                return fail("refusing the state with byte " + std::to_string(at) +
                            " raised changed the state");
            }
            continue;
        }
        if (saved(s) != altered) {
            return fail("state.load accepted the state with byte " + std::to_string(at) +
                        " raised but saves another one (a newer version taken as this one?)");
        }
        load(s, good);
    }
    return pass(std::to_string(refused.size()) + " bad streams refused");
}

Outcome textRoundTrips(CheckContext& ctx, Session&, ClapBridge& b) {
    const clap_plugin_params_t* params = b.params();
    if (!params || b.paramInfos().empty()) {
        return skip("no parameters");
    }
    int checked = 0;
    for (std::size_t i = 0; i < b.paramInfos().size(); ++i) {
        const clap_param_info_t& info = b.paramInfos()[i];
        std::vector<double> values = {info.min_value, info.max_value, info.default_value};
        for (int k = 1; k < ctx.scaled(4); ++k) {
            values.push_back(
                b.plainValue(static_cast<VstInt32>(i),
                             static_cast<float>(k) / static_cast<float>(ctx.scaled(4))));
        }
        for (double v : values) {
            char text[256] = "", back[256] = "";
            if (!params->value_to_text(b.plugin(), info.id, v, text, sizeof text)) {
                std::ostringstream m;
                m << "value_to_text failed for " << paramName(b, i) << " at " << v;
                return fail(m.str());
            }
            double parsed = 0.0;
            if (!params->text_to_value(b.plugin(), info.id, text, &parsed)) {
                return fail("text_to_value refused \"" + std::string(text) + "\", the text of " +
                            paramName(b, i));
            }
            params->value_to_text(b.plugin(), info.id, parsed, back, sizeof back);
            if (std::string(text) != back) {
                return fail(paramName(b, i) + ": \"" + text + "\" reads back as \"" + back + "\"");
            }
            ++checked;
        }
    }
    return pass(std::to_string(checked) + " texts");
}

} // namespace

void addClapChecks(std::vector<Check>& checks) {
    checks.push_back({"clap", "descriptor", 1, withSession<withBridge<descriptor>>});
    checks.push_back({"clap", "main-thread-calls", 1, withSession<withBridge<mainThreadCalls>>});
    checks.push_back(
        {"clap", "flush-while-inactive", 1, withSession<withBridge<flushWhileInactive>>});
    checks.push_back(
        {"clap", "latency-through-restart", 2, withSession<withBridge<latencyThroughRestart>>});
    checks.push_back({"clap", "state-round-trip", 1, withSession<withBridge<stateRoundTrip>>});
    checks.push_back({"clap", "state-bad-streams", 1, withSession<withBridge<stateBadStreams>>});
    checks.push_back({"clap", "text-round-trips", 1, withSession<withBridge<textRoundTrips>>});
}

} // namespace gravelix::validator

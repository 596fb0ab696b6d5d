// Parameters, programs and the texts the plug-in writes into host buffers.
#include "backgroundaudio.h"
#include "check.h"
#include "session.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>

namespace gravelix::validator {
namespace {

constexpr char kFill = '~';
constexpr std::size_t kBuffer = 512;

// Asks for one text into a large pre-filled buffer and checks that the plug-in wrote a
// terminated text of at most maxChars characters and nothing beyond its terminator's slot.
struct TextProbe {
    char buf[kBuffer];
    std::string problem;
    std::string text;

    template <typename Ask> TextProbe(Ask ask, std::size_t maxChars, const std::string& what) {
        std::memset(buf, kFill, sizeof buf);
        ask(buf);
        const void* zero = std::memchr(buf, 0, sizeof buf);
        if (zero == nullptr) {
            problem = what + ": not zero-terminated";
            return;
        }
        const std::size_t len = static_cast<const char*>(zero) - buf;
        text.assign(buf, len);
        if (len > maxChars) {
            problem = what + ": \"" + text + "\" has " + std::to_string(len) +
                      " characters, more than " + std::to_string(maxChars);
            return;
        }
        for (std::size_t i = maxChars + 1; i < sizeof buf; ++i) {
            if (buf[i] != kFill) {
                problem = what + ": wrote byte " + std::to_string(i) + ", beyond the " +
                          std::to_string(maxChars + 1) + "-byte bound";
                return;
            }
        }
    }
    // A request that is to be ignored must leave the buffer alone (or write a text).
    bool untouched() const { return buf[0] == kFill && buf[1] == kFill; }
};

// Bounds hosts size their buffers for: 8 characters for labels and values; names are
// commonly given more room than the interface's 8, and longer effect-side names are usual.
constexpr std::size_t kParamText = 8;
constexpr std::size_t kParamName = 31;
constexpr std::size_t kEffectName = 32;
constexpr std::size_t kVendorText = 64;
constexpr std::size_t kProgramName = 23;

std::string paramTextProblem(Session& s, int index, bool inRange) {
    const std::string at = "parameter " + std::to_string(index);
    auto ask = [&](VstInt32 op) {
        return [&s, index, op](char* b) { s.dispatch(op, index, 0, b); };
    };
    TextProbe name(ask(effGetParamName), kParamName, at + " name");
    TextProbe label(ask(effGetParamLabel), kParamText, at + " label");
    TextProbe display(ask(effGetParamDisplay), kParamText, at + " display");
    for (const TextProbe* p : {&name, &label, &display}) {
        // An index the plug-in does not have may be answered by writing nothing at all.
        if (!p->problem.empty() && !(!inRange && p->untouched())) {
            return p->problem;
        }
    }
    if (inRange && name.text.empty()) {
        return at + " has no name";
    }
    return {};
}

Outcome paramRange(CheckContext& ctx, Session& s) {
    std::mt19937_64 rng(ctx.seed);
    std::uniform_real_distribution<float> uni(0.0f, 1.0f);
    for (int i = 0; i < s.numParams(); ++i) {
        for (int k = 0; k < 2 + ctx.scaled(5); ++k) {
            const float v = k == 0 ? 0.0f : k == 1 ? 1.0f : uni(rng);
            s.host().setParameter(i, v);
            const float got = s.host().getParameter(i);
            if (!(got >= 0.0f && got <= 1.0f)) {
                std::ostringstream m;
                m << "parameter " << i << " set to " << v << " reads back " << got;
                return fail(m.str());
            }
            if (auto p = paramTextProblem(s, i, true); !p.empty()) {
                return fail(p);
            }
        }
    }
    return pass(std::to_string(s.numParams()) + " parameters");
}

Outcome paramBadValues(CheckContext& ctx, Session& s) {
    const float inf = std::numeric_limits<float>::infinity();
    const float bad[] = {
        std::numeric_limits<float>::quiet_NaN(), inf, -inf, -1.0f, 2.0f, 1e30f, -1e30f,
        std::numeric_limits<float>::denorm_min()};
    s.start(44100, 512);
    SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed);
    for (int i = 0; i < s.numParams(); ++i) {
        for (float v : bad) {
            s.host().setParameter(i, v);
            const float got = s.host().getParameter(i);
            std::ostringstream at;
            at << "parameter " << i << " set to " << v;
            if (!(got >= 0.0f && got <= 1.0f)) {
                return fail(at.str() + " reads back " + std::to_string(got));
            }
            if (auto p = paramTextProblem(s, i, true); !p.empty()) {
                return fail(at.str() + ": " + p);
            }
            const SignalStats st = s.run(gen, 1024, 512);
            if (auto p = st.problem(ctx.opts.outputBound); !p.empty()) {
                return fail(at.str() + ": output " + p);
            }
        }
        s.host().setParameter(i, 0.5f);
    }
    // The program records must not have kept a bad value either.
    for (int p = 0; p < s.numPrograms(); ++p) {
        s.dispatch(effSetProgram, 0, p);
        for (int i = 0; i < s.numParams(); ++i) {
            const float got = s.host().getParameter(i);
            if (!(got >= 0.0f && got <= 1.0f)) {
                return fail("program " + std::to_string(p) + " holds parameter " +
                            std::to_string(i) + " = " + std::to_string(got));
            }
        }
    }
    return pass("NaN, Inf, out-of-range and subnormal values");
}

Outcome texts(CheckContext&, Session& s) {
    std::size_t longestName = 0;
    for (int i = 0; i < s.numParams(); ++i) {
        if (auto p = paramTextProblem(s, i, true); !p.empty()) {
            return fail(p);
        }
        longestName = std::max(longestName, s.host().parameterName(i).size());
    }
    for (int i : {-1, s.numParams(), s.numParams() + 100, std::numeric_limits<int>::max(),
                  std::numeric_limits<int>::min()}) {
        if (auto p = paramTextProblem(s, i, false); !p.empty()) {
            return fail(p);
        }
    }
    auto ask = [&](VstInt32 op) { return [&s, op](char* b) { s.dispatch(op, 0, 0, b); }; };
    TextProbe effect(ask(effGetEffectName), kEffectName, "effect name");
    TextProbe vendor(ask(effGetVendorString), kVendorText, "vendor");
    TextProbe product(ask(effGetProductString), kVendorText, "product");
    TextProbe program(ask(effGetProgramName), kProgramName, "program name");
    for (const TextProbe* p : {&effect, &vendor, &product, &program}) {
        if (!p->problem.empty()) {
            return fail(p->problem);
        }
    }
    for (int i = -1; i <= s.numPrograms(); ++i) {
        TextProbe indexed([&](char* b) { s.dispatch(effGetProgramNameIndexed, i, 0, b); },
                          kProgramName, "program " + std::to_string(i) + " name by index");
        const bool inRange = i >= 0 && i < s.numPrograms();
        if (!indexed.problem.empty() && !(!inRange && indexed.untouched())) {
            return fail(indexed.problem);
        }
    }
    return pass("longest parameter name " + std::to_string(longestName) + " characters");
}

std::vector<float> readAll(Session& s) {
    std::vector<float> v;
    for (int i = 0; i < s.numParams(); ++i) {
        v.push_back(s.host().getParameter(i));
    }
    return v;
}

Outcome programSwitch(CheckContext& ctx, Session& s) {
    const int n = s.numPrograms();
    if (n < 2) {
        return skip("fewer than two programs");
    }
    std::mt19937_64 rng(ctx.seed);
    std::uniform_real_distribution<float> uni(0.0f, 1.0f);
    std::vector<std::vector<float>> expected(static_cast<std::size_t>(n));
    for (int p = 0; p < n; ++p) {
        s.dispatch(effSetProgram, 0, p);
        if (s.dispatch(effGetProgram) != p) {
            return fail("effSetProgram " + std::to_string(p) + " reads back program " +
                        std::to_string(s.dispatch(effGetProgram)));
        }
        // Edit some parameters while the program is current; switching away and back must
        // give exactly what was there when it was left.
        for (int i = 0; i < s.numParams(); ++i) {
            if (rng() % 2 == 0) {
                s.host().setParameter(i, uni(rng));
            }
        }
        expected[static_cast<std::size_t>(p)] = readAll(s);
    }
    for (int round = 0; round < 3; ++round) {
        for (int p = n - 1; p >= 0; --p) {
            s.dispatch(effSetProgram, 0, p);
            const auto got = readAll(s);
            for (std::size_t i = 0; i < got.size(); ++i) {
                if (got[i] != expected[static_cast<std::size_t>(p)][i]) {
                    std::ostringstream m;
                    m << "program " << p << ": parameter " << i << " reads " << got[i]
                      << " after switching back, was " << expected[static_cast<std::size_t>(p)][i];
                    return fail(m.str());
                }
            }
        }
    }
    const VstIntPtr current = s.dispatch(effGetProgram);
    const auto before = readAll(s);
    for (VstIntPtr bad : {VstIntPtr(-1), VstIntPtr(n), VstIntPtr(n + 1000), VstIntPtr(1) << 40}) {
        s.dispatch(effSetProgram, 0, bad);
        if (s.dispatch(effGetProgram) != current || readAll(s) != before) {
            return fail("program number " + std::to_string(bad) + " was not ignored");
        }
    }
    return pass(std::to_string(n) + " programs");
}

Outcome programNames(CheckContext&, Session& s) {
    std::string longName(300, 'x');
    for (int p = 0; p < s.numPrograms(); ++p) {
        s.dispatch(effSetProgram, 0, p);
        for (const std::string& name : {longName, std::string(), std::string("Init"),
                                        std::string(23, 'y'), std::string(24, 'z')}) {
            std::vector<char> in(name.begin(), name.end());
            in.push_back('\0');
            s.dispatch(effSetProgramName, 0, 0, in.data());
            TextProbe got([&](char* b) { s.dispatch(effGetProgramName, 0, 0, b); }, kProgramName,
                          "program " + std::to_string(p) + " renamed to " +
                              std::to_string(name.size()) + " characters");
            if (!got.problem.empty()) {
                return fail(got.problem);
            }
            TextProbe indexed([&](char* b) { s.dispatch(effGetProgramNameIndexed, p, 0, b); },
                              kProgramName, "program " + std::to_string(p) + " name by index");
            if (!indexed.problem.empty()) {
                return fail(indexed.problem);
            }
        }
    }
    return pass();
}

// Program switches and parameter changes from one thread while another processes.
Outcome concurrentChanges(CheckContext& ctx, Session& s) {
    s.start(44100, 256);
    BackgroundAudio audio(s, ctx, 256 * 8, true);
    std::mt19937_64 rng(ctx.seed);
    std::uniform_real_distribution<float> uni(-0.2f, 1.2f);
    const auto end =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(300 * ctx.scaled(1));
    long changes = 0;
    while (std::chrono::steady_clock::now() < end) {
        if (s.numPrograms() > 0 && rng() % 8 == 0) {
            s.dispatch(effSetProgram, 0, VstIntPtr(rng() % std::uint64_t(s.numPrograms())));
        } else if (s.numParams() > 0) {
            s.host().setParameter(int(rng() % std::uint64_t(s.numParams())), uni(rng));
        }
        ++changes;
    }
    if (const std::string& problem = audio.finish(); !problem.empty()) {
        return fail("output while parameters change: " + problem);
    }
    return pass(std::to_string(changes) + " changes during processing");
}

} // namespace

void addParameterChecks(std::vector<Check>& checks) {
    checks.push_back({"parameters", "values-0-1-random", 1, withSession<paramRange>});
    checks.push_back({"parameters", "bad-values", 1, withSession<paramBadValues>});
    checks.push_back({"parameters", "texts-bounded", 1, withSession<texts>});
    checks.push_back({"parameters", "program-switch-restores", 1, withSession<programSwitch>});
    checks.push_back({"parameters", "program-names", 1, withSession<programNames>});
    checks.push_back({"parameters", "changes-while-processing", 2, withSession<concurrentChanges>});
}

} // namespace gravelix::validator

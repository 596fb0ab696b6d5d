// The editor as a host drives it: open/close in every order hosts use, mouse gestures on its
// controls, repaint after host-side changes, and a parent window that goes away first.
#include "backgroundaudio.h"
#include "check.h"
#include "editorhost.h"
#include "session.h"

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace gravelix::validator {
namespace {

bool openEditor(Session& s, HostWindow& w) {
    s.dispatch(effEditOpen, 0, 0, w.parentHandle());
    ERect* r = nullptr;
    s.dispatch(effEditGetRect, 0, 0, &r);
    return r != nullptr;
}

Outcome sizeAndClosedIdle(CheckContext& ctx) {
    Outcome result;
    auto s = editorSession(ctx, false, result);
    if (!s) {
        return result;
    }
    // Idle and key requests with no window yet, and after a close that had no open.
    for (int i = 0; i < 5; ++i) {
        s->dispatch(effEditIdle);
    }
    s->dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f);
    s->dispatch(effEditKeyUp, 'a', 0, nullptr, 0.0f);
    s->dispatch(effEditClose);
    s->dispatch(effEditIdle);
    int w = 0, h = 0;
    if (!editorSize(*s, w, h)) {
        return fail("effEditGetRect gives no usable size before open");
    }
    return pass(std::to_string(w) + " x " + std::to_string(h));
}

Outcome openClose(CheckContext& ctx, Session& s, bool processing, bool beforeResume) {
    auto window = windowFor(ctx, s);
    std::optional<BackgroundAudio> audio;
    if (processing) {
        s.start(44100, 256);
        audio.emplace(s, ctx);
    }
    const int rounds = 50;
    for (int i = 0; i < rounds; ++i) {
        s.dispatch(effEditIdle); // before open
        openEditor(s, *window);
        pumpIdle(s, window.get(), 2, 0);
        s.dispatch(effEditClose);
        s.dispatch(effEditIdle); // after close
    }
    const std::string problem = audio ? audio->finish() : std::string();
    if (!problem.empty()) {
        return fail("output while the editor opened and closed: " + problem);
    }
    if (beforeResume) {
        s.start(44100, 512);
        SignalGenerator gen(SignalGenerator::Kind::Noise, ctx.seed);
        const SignalStats st = s.run(gen, 8192, 512);
        if (auto p = st.problem(ctx.opts.outputBound); !p.empty()) {
            return fail("output after editor use before the first resume: " + p);
        }
    }
    return pass(std::to_string(rounds) + " open/close rounds");
}

Outcome openCloseStopped(CheckContext& ctx, Session& s) {
    return openClose(ctx, s, false, false);
}
Outcome openCloseProcessing(CheckContext& ctx, Session& s) {
    return openClose(ctx, s, true, false);
}
Outcome openBeforeResume(CheckContext& ctx, Session& s) {
    return openClose(ctx, s, false, true);
}

Outcome openTwice(CheckContext& ctx, Session& s) {
    auto window = windowFor(ctx, s);
    auto second = windowFor(ctx, s);
    openEditor(s, *window);
    pumpIdle(s, window.get(), 3);
    openEditor(s, *window);
    pumpIdle(s, window.get(), 3);
    openEditor(s, *second);
    pumpIdle(s, second.get(), 3);
    closeEditor(s, *second);
    s.dispatch(effEditClose);
    // And the editor still works normally afterwards.
    openEditor(s, *window);
    pumpIdle(s, window.get(), 3);
    s.dispatch(effEditClose);
    return pass();
}

Outcome parentDestroyedFirst(CheckContext& ctx, Session& s) {
    for (int round = 0; round < 3; ++round) {
        auto window = windowFor(ctx, s);
        openEditor(s, *window);
        pumpIdle(s, window.get(), 3);
        window->destroy();
        // Round 0 closes straight away, before an idle call could see the window go.
        pumpIdle(s, window.get(), round == 0 ? 0 : 3);
        closeEditor(s, *window);
    }
    // The editor must still open into a new window.
    auto window = windowFor(ctx, s);
    openEditor(s, *window);
    pumpIdle(s, window.get(), 3);
    s.dispatch(effEditClose);
    return pass("3 parents destroyed before effEditClose");
}

std::vector<float> params(Session& s) {
    std::vector<float> v;
    for (int i = 0; i < s.numParams(); ++i) {
        v.push_back(s.host().getParameter(i));
    }
    return v;
}

// Begin, automate and end of one gesture: balanced, in order, for one parameter, and no
// other parameter changed.
std::string gestureProblem(const std::vector<host::HostCall>& calls,
                           const std::vector<float>& before, const std::vector<float>& after,
                           int numParams, std::set<int>& touched) {
    std::set<int> open, begun, automated;
    for (const auto& c : calls) {
        const std::string at = " for parameter " + std::to_string(c.index);
        switch (c.opcode) {
        case audioMasterBeginEdit:
            if (c.index < 0 || c.index >= numParams) {
                return "beginEdit" + at + ", out of range";
            }
            if (!open.insert(c.index).second) {
                return "beginEdit twice" + at;
            }
            begun.insert(c.index);
            break;
        case audioMasterAutomate:
            if (c.index < 0 || c.index >= numParams) {
                return "automate" + at + ", out of range";
            }
            if (!open.count(c.index)) {
                return "automate" + at + " outside beginEdit/endEdit";
            }
            if (!(c.opt >= 0.0f && c.opt <= 1.0f)) {
                return "automate" + at + " with value " + std::to_string(c.opt);
            }
            automated.insert(c.index);
            break;
        case audioMasterEndEdit:
            if (!open.erase(c.index)) {
                return "endEdit" + at + " without beginEdit";
            }
            break;
        default:
            break;
        }
    }
    if (!open.empty()) {
        return "beginEdit for parameter " + std::to_string(*open.begin()) + " never ended";
    }
    if (begun.size() > 1) {
        return "one gesture edited " + std::to_string(begun.size()) + " parameters";
    }
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i) {
        if (before[i] != after[i] && !automated.count(int(i))) {
            return "parameter " + std::to_string(i) + " changed without automation";
        }
    }
    touched.insert(automated.begin(), automated.end());
    return {};
}

std::string describeCalls(const std::vector<host::HostCall>& calls) {
    std::ostringstream m;
    int shown = 0;
    for (const auto& c : calls) {
        if (c.opcode != audioMasterBeginEdit && c.opcode != audioMasterAutomate &&
            c.opcode != audioMasterEndEdit) {
            continue;
        }
        if (++shown > 12) {
            m << " ...";
            break;
        }
        m << ' ' << host::hostOpcodeName(c.opcode) << '(' << c.index;
        if (c.opcode == audioMasterAutomate) {
            m << ", " << c.opt;
        }
        m << ')';
    }
    return m.str();
}

Outcome controls(CheckContext& ctx, Session& s) {
    s.start(44100, 512);
    auto window = windowFor(ctx, s);
    openEditor(s, *window);
    pumpIdle(s, window.get(), 5);
    const int step = ctx.opts.strictness >= 8 ? 18 : 30;
    std::set<int> touched;
    int gestures = 0;
    // Places that change the picture but no parameter switch the editor's face (a panel
    // flip); they are undone at once, and each face they lead to is scanned in turn.
    std::vector<std::pair<int, int>> switches;
    auto scan = [&]() -> std::string {
        for (int y = step / 2; y < window->height(); y += step) {
            for (int x = step / 2; x < window->width(); x += step) {
                if (std::find(switches.begin(), switches.end(), std::pair{x, y}) !=
                    switches.end()) {
                    continue;
                }
                const auto before = params(s);
                const auto picture = window->capture();
                s.host().state().clearCalls();
                gesture(s, *window, x, y);
                const auto after = params(s);
                std::set<int> reached;
                const std::string p =
                    gestureProblem(s.host().state().calls(), before, after, s.numParams(), reached);
                ++gestures;
                if (!p.empty()) {
                    return "drag at (" + std::to_string(x) + ", " + std::to_string(y) + "): " + p +
                           " (host saw:" + describeCalls(s.host().state().calls()) + ")";
                }
                touched.insert(reached.begin(), reached.end());
                if (reached.empty() && before == after && window->capture() != picture) {
                    switches.emplace_back(x, y);
                    gesture(s, *window, x, y);
                }
            }
        }
        return {};
    };
    std::string problem = scan();
    const std::size_t faces = std::min<std::size_t>(switches.size(), 1);
    for (std::size_t i = 0; i < faces && problem.empty(); ++i) {
        const auto [x, y] = switches[i];
        gesture(s, *window, x, y);
        problem = scan();
        gesture(s, *window, x, y);
    }
    s.dispatch(effEditClose);
    if (!problem.empty()) {
        return fail(problem);
    }
    if (touched.empty()) {
        return fail(std::to_string(gestures) + " gestures changed no parameter");
    }
    std::ostringstream m;
    m << gestures << " gestures on " << (faces + 1) << " face(s) reached parameters";
    for (int i : touched) {
        m << ' ' << i;
    }
    return pass(m.str());
}

Outcome hostChangeRepaints(CheckContext& ctx, Session& s) {
    auto window = windowFor(ctx, s);
    openEditor(s, *window);
    pumpIdle(s, window.get(), 10);
    std::ostringstream repainted;
    int count = 0, worst = 0;
    for (int i = 0; i < s.numParams(); ++i) {
        s.host().setParameter(i, 0.0f);
        pumpIdle(s, window.get(), 5);
        const auto before = window->capture();
        s.host().setParameter(i, 1.0f);
        for (int idles = 1; idles <= 5; ++idles) {
            pumpIdle(s, window.get(), 1, 10);
            if (window->capture() != before) {
                repainted << ' ' << i;
                ++count;
                worst = std::max(worst, idles);
                break;
            }
        }
    }
    s.dispatch(effEditClose);
    if (count == 0) {
        return fail("no host-side parameter change showed within 5 idle calls");
    }
    return pass("repainted within " + std::to_string(worst) + " idle call(s) for parameters" +
                repainted.str());
}

} // namespace

void addEditorChecks(std::vector<Check>& checks) {
    checks.push_back({"editor", "size-and-idle-while-closed", 1, sizeAndClosedIdle});
    checks.push_back({"editor", "open-close-50-stopped", 2, withEditor<openCloseStopped>});
    checks.push_back({"editor", "open-close-50-processing", 3, withEditor<openCloseProcessing>});
    checks.push_back({"editor", "open-before-first-resume", 2, withEditor<openBeforeResume>});
    checks.push_back({"editor", "open-twice-without-close", 3, withEditor<openTwice>});
    checks.push_back(
        {"editor", "parent-destroyed-before-close", 3, withEditor<parentDestroyedFirst>});
    checks.push_back({"editor", "controls-gestures-balanced", 4, withEditor<controls>});
    checks.push_back({"editor", "host-change-repaints", 4, withEditor<hostChangeRepaints>});
}

} // namespace gravelix::validator

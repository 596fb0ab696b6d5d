// Habits of real hosts that have broken plug-ins: an instance reused across streams, editors
// driven from other threads or not at all, forwarded events, reentrant automation, an
// instance closed under its open editor, endless open/close and a size asked at any time.
#include "check.h"
#include "editorhost.h"
#include "resourceusage.h"
#include "rtprobe.h"
#include "session.h"
#include "syntheticevents.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace gravelix::validator {
namespace {

// Idle calls until the picture stops changing (at most count of them); the last picture.
host::Image settle(Session& s, HostWindow& w, int count = 40) {
    host::Image last = w.capture();
    for (int i = 0; i < count; ++i) {
        pumpIdle(s, &w, 2, 10);
        host::Image now = w.capture();
        if (now == last) {
            return now;
        }
        last = std::move(now);
    }
    return last;
}

// Opens the editor into w and settles it; its picture then.
host::Image openSettled(Session& s, HostWindow& w, int count = 40) {
    s.dispatch(effEditOpen, 0, 0, w.parentHandle());
    return settle(s, w, count);
}

// Idle calls until the picture is `expected` again; false when it is not within count calls.
bool repaintsTo(Session& s, HostWindow& w, const host::Image& expected, int count = 40) {
    for (int i = 0; i < count; ++i) {
        pumpIdle(s, &w, 1, 10);
        if (w.capture() == expected) {
            return true;
        }
    }
    return false;
}

// Covers the editor with another window of the host's and takes it away again, so that the
// editor's window is exposed.
void coverAndUncover(HostWindow& w) {
    HostWindow cover(w.display(), w.width(), w.height(), "cover", HostWindow::Kind::Bare);
    cover.sync();
    cover.destroy();
    w.sync();
}

// Hosts reuse one instance for several streams (renders, previews, transport restarts) and
// call suspend and resume between them: the second stream must come out as from a fresh
// instance, with no tail of the first.
Outcome resumeStartsFresh(CheckContext& ctx) {
    Outcome failure;
    auto used = openSession(ctx, failure);
    auto fresh = used ? openSession(ctx, failure) : nullptr;
    if (!fresh) {
        return failure;
    }
    constexpr int kBlock = 512, kFrames = 8192;
    used->start(44100, kBlock);
    SignalGenerator first(SignalGenerator::Kind::Overdrive, ctx.seed);
    used->run(first, kFrames, kBlock);
    used->stop();
    used->start(44100, kBlock);
    fresh->start(44100, kBlock);
    SignalGenerator second(SignalGenerator::Kind::Noise, ctx.seed + 1);
    AudioBuffers in = used->inputs(kBlock);
    AudioBuffers outUsed = used->outputs(kBlock), outFresh = fresh->outputs(kBlock);
    for (int done = 0; done < kFrames; done += kBlock) {
        second.fill(in, kBlock);
        AudioBuffers inCopy = used->inputs(kBlock);
        inCopy.copyFrom(in, kBlock);
        used->process(in, outUsed, kBlock);
        fresh->process(inCopy, outFresh, kBlock);
        if (!outUsed.sameBits(outFresh)) {
            double largest = 0;
            int at = 0;
            for (int c = 0; c < outUsed.numChannels(); ++c) {
                for (int i = 0; i < kBlock; ++i) {
                    const double d =
                        std::fabs(double(outUsed.channel(c)[i]) - double(outFresh.channel(c)[i]));
                    if (d > largest) {
                        largest = d;
                        at = done + i;
                    }
                }
            }
            std::ostringstream m;
            m << "after suspend and resume the new stream differs from a fresh instance's "
              << "(largest difference " << largest << " at frame " << at
              << "): the last stream leaks into it";
            return fail(m.str());
        }
    }
    return pass(std::to_string(kFrames) + " frames after resume equal a fresh instance's");
}

// effEditGetRect asked before, during and after the editor is open: the same answer unless
// the editor asked the host for a new size.
Outcome rectStable(CheckContext& ctx, Session& s) {
    int width = 0, height = 0;
    if (!editorSize(s, width, height)) {
        return fail("effEditGetRect gives no usable size before open");
    }
    auto window = windowFor(ctx, s);
    std::string problem;
    auto ask = [&](const char* when) {
        for (int i = 0; i < 3 && problem.empty(); ++i) {
            int w = 0, h = 0;
            const bool known = editorSize(s, w, h);
            // A size the editor asked the host for is the new answer.
            for (const auto& c : s.host().state().calls()) {
                if (c.opcode == audioMasterSizeWindow) {
                    width = int(c.index);
                    height = int(c.value);
                }
            }
            if (!known || w != width || h != height) {
                std::ostringstream m;
                m << "effEditGetRect " << when << " gives " << w << " x " << h << " after " << width
                  << " x " << height << ", and the editor asked for no new size";
                problem = m.str();
            }
            s.dispatch(effEditIdle);
        }
    };
    ask("before open");
    s.dispatch(effEditOpen, 0, 0, window->parentHandle());
    ask("right after open");
    pumpIdle(s, window.get(), 5);
    ask("while open");
    closeEditor(s, *window);
    ask("after close");
    if (!problem.empty()) {
        return fail(problem);
    }
    return pass(std::to_string(width) + " x " + std::to_string(height) + " throughout");
}

// Hosts that skip effEditClose and close the instance under its open editor.
Outcome closeWithEditorOpen(CheckContext& ctx) {
    Outcome result;
    auto s = editorSession(ctx, true, result);
    if (!s) {
        return result;
    }
    auto window = windowFor(ctx, *s);
    openSettled(*s, *window, 10);
    s.reset(); // effClose with the editor open
    for (int i = 0; i < 50 && window->hasChildren(); ++i) {
        window->pump(20);
    }
    if (!window->alive()) {
        return fail("closing the instance destroyed the host's window");
    }
    if (window->hasChildren()) {
        return fail("the editor's window outlived the instance closed under it");
    }
    return pass();
}

// Hosts whose user-interface thread is not the one that created the instance.
Outcome openOnAnotherThread(CheckContext& ctx, Session& s) {
    bool drew = false;
    std::string problem;
    std::thread ui([&] {
        auto window = windowFor(ctx, s);
        const host::Image blank = window->capture();
        if (s.dispatch(effEditOpen, 0, 0, window->parentHandle()) == 0) {
            problem = "effEditOpen on another thread than the instance's refused to open";
        }
        drew = settle(s, *window) != blank;
        closeEditor(s, *window);
    });
    ui.join();
    if (!problem.empty()) {
        return fail(problem);
    }
    if (!drew) {
        return fail("the editor opened on another thread than the instance's drew nothing");
    }
    return pass();
}

// Hosts that drive editors from a timer thread of their own: idle arrives on a thread other
// than the one that opened the editor while the window is exposed and clicked. Afterwards,
// idle from the opening thread must bring the editor back to its full picture.
Outcome idleFromAnotherThread(CheckContext& ctx, Session& s) {
    auto window = windowFor(ctx, s);
    openSettled(s, *window);
    std::atomic<bool> stop{false}, stopped{false};
    std::thread timer([&] {
        while (!stop) {
            s.dispatch(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        stopped = true;
    });
    coverAndUncover(*window);
    window->click(window->width() / 2, window->height() / 2);
    // This thread keeps handling its window system's messages meanwhile, as a host's user
    // interface thread does: on Windows the idle thread may be waiting for it.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < end) {
        window->pump(10);
    }
    stop = true;
    while (!stopped) {
        window->pump(5);
    }
    timer.join();
    s.host().state().clearCalls();
    const host::Image picture = settle(s, *window);
    coverAndUncover(*window);
    const bool repainted = repaintsTo(s, *window, picture);
    closeEditor(s, *window);
    if (!repainted) {
        return fail("after idle from another thread the editor no longer repaints");
    }
    return pass();
}

// Hosts that give no idle at all for a while (a busy or blocked user-interface loop) while
// the window is exposed and clicked: once idle comes again, what was exposed is repainted and
// the click's edit is ended.
Outcome noIdleWhileExposed(CheckContext& ctx, Session& s) {
    auto window = windowFor(ctx, s);
    const host::Image picture = openSettled(s, *window);
    const auto quiet = std::chrono::milliseconds(1500);
    coverAndUncover(*window);
    std::this_thread::sleep_for(quiet);
    const bool repainted = repaintsTo(s, *window, picture);
    s.host().state().clearCalls();
    window->click(window->width() / 2, window->height() / 2);
    std::this_thread::sleep_for(quiet);
    pumpIdle(s, window.get(), 5);
    for (int i = 0; i < 40 && !settled(s.host().state().calls()); ++i) {
        pumpIdle(s, window.get(), 1, 5);
    }
    const bool ended = settled(s.host().state().calls());
    closeEditor(s, *window);
    if (!repainted) {
        return fail("what was exposed while no idle came was not repainted once idle came");
    }
    if (!ended) {
        return fail("a click made while no idle came left an edit begun and never ended");
    }
    return pass(std::to_string(quiet.count()) + " ms without idle, twice");
}

// Hosts that forward input and exposure to the editor as sent (synthetic) events.
Outcome syntheticEvents(CheckContext& ctx) {
    if (const std::string why = syntheticEventsUnsupported(); !why.empty()) {
        return skip(why);
    }
    Outcome result;
    auto s = editorSession(ctx, true, result);
    if (!s) {
        return result;
    }
    auto window = windowFor(ctx, *s);
    openSettled(*s, *window);
    std::string problem;
    if (const auto at = findControl(*s, *window)) {
        s->host().state().clearCalls();
        sendSyntheticDrag(*window, at->first, at->second, [&] { pumpIdle(*s, window.get(), 2); });
        pumpIdle(*s, window.get(), 5);
        bool automated = false;
        for (const auto& c : s->host().state().calls()) {
            automated = automated || c.opcode == audioMasterAutomate;
        }
        if (!automated) {
            problem = "a sent press, drag and release at (" + std::to_string(at->first) + ", " +
                      std::to_string(at->second) + ") changed nothing where real ones did";
        }
    }
    const host::Image picture = settle(*s, *window);
    if (problem.empty() && damageEditor(*window) && window->capture() != picture) {
        sendSyntheticExpose(*window);
        if (!repaintsTo(*s, *window, picture)) {
            problem = "a sent Expose did not repaint the editor";
        }
    }
    closeEditor(*s, *window);
    if (!problem.empty()) {
        return fail(problem);
    }
    return pass();
}

// Hosts open and close editors endlessly (every click on a plug-in slot): nothing may pile up.
Outcome openCloseNoGrowth(CheckContext& ctx, Session& s) {
    auto window = windowFor(ctx, s);
    auto cycle = [&] {
        s.dispatch(effEditOpen, 0, 0, window->parentHandle());
        pumpIdle(s, window.get(), 2, 0);
        s.dispatch(effEditClose);
        pumpIdle(s, window.get(), 1, 0);
    };
    // What the first editors make once and keep (caches, fonts, a connection) is not growth.
    for (int i = 0; i < 10; ++i) {
        cycle();
    }
    const ResourceUsage before = measureResources(*window);
    constexpr int kCycles = 200;
    for (int i = 0; i < kCycles; ++i) {
        cycle();
    }
    std::string grew;
    // Threads and connections may take a moment to end.
    for (int i = 0; i < 20; ++i) {
        grew = growth(before, measureResources(*window));
        if (grew.empty()) {
            break;
        }
        pumpIdle(s, window.get(), 1, 50);
    }
    if (!grew.empty()) {
        return fail("after " + std::to_string(kCycles) + " open/close cycles: " + grew);
    }
    return pass(std::to_string(kCycles) + " cycles: " + describe(before));
}

// Hosts that read and write the parameter from inside audioMasterAutomate (to record it, or to
// apply their own snapping): no deadlock, and the host's write is what stays.
Outcome parametersInsideAutomate(CheckContext& ctx) {
    Outcome result;
    auto s = editorSession(ctx, true, result);
    if (!s) {
        return result;
    }
    using Clock = std::chrono::steady_clock;
    struct Shared {
        std::mutex m;
        std::map<int, float> written; // the host's last write per parameter
        int count = 0;
        // When the host's current call into the plug-in from inside the callback began.
        std::atomic<Clock::rep> insideSince{0};
        std::atomic<bool> done{false};
        bool found = false;
    };
    auto shared = std::make_shared<Shared>();
    host::PluginHost& plugin = s->host();
    const int numParams = s->numParams();
    plugin.state().setListener([shared, &plugin, numParams](const host::HostCall& c) {
        RtProbe::noteHostCall();
        static thread_local bool inside = false;
        if (c.opcode != audioMasterAutomate || inside || c.index < 0 || c.index >= numParams) {
            return;
        }
        inside = true;
        // A host that snaps automation to quarters writes its own value back.
        float snapped = std::round(c.opt * 4.0f) / 4.0f;
        if (snapped == c.opt) {
            snapped = c.opt < 0.5f ? c.opt + 0.125f : c.opt - 0.125f;
        }
        shared->insideSince = Clock::now().time_since_epoch().count();
        (void)plugin.getParameter(c.index);
        plugin.setParameter(c.index, snapped);
        shared->insideSince = 0;
        {
            std::lock_guard lock(shared->m);
            shared->written[c.index] = snapped;
            ++shared->count;
        }
        inside = false;
    });
    // The editor's whole life on one user-interface thread, so that a deadlock inside the
    // callback can be seen from here.
    Session* session = s.get();
    std::thread ui([&ctx, session, shared] {
        auto window = windowFor(ctx, *session);
        openSettled(*session, *window);
        shared->found = findControl(*session, *window).has_value();
        closeEditor(*session, *window);
        shared->done = true;
    });
    const auto stuckAfter = std::chrono::seconds(5);
    while (!shared->done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const Clock::rep since = shared->insideSince;
        if (since != 0 && Clock::now() - Clock::time_point(Clock::duration(since)) > stuckAfter) {
            // The thread is stuck inside the plug-in: leave the session to it.
            ui.detach();
            (void)s.release();
            return fail("setParameter called from inside audioMasterAutomate did not return "
                        "within 5 s (deadlock)");
        }
    }
    ui.join();
    plugin.state().setListener([](const host::HostCall&) { RtProbe::noteHostCall(); });
    std::lock_guard lock(shared->m);
    if (!shared->found || shared->count == 0) {
        return skip("no place in the editor where a drag automates a parameter");
    }
    for (const auto& [index, value] : shared->written) {
        const float now = plugin.getParameter(index);
        if (now != value) {
            std::ostringstream m;
            m << "the host's setParameter(" << index << ", " << value
              << ") from inside audioMasterAutomate was lost: the parameter reads " << now;
            return fail(m.str());
        }
    }
    return pass(std::to_string(shared->count) + " automations answered with a write");
}

} // namespace

void addQuirkChecks(std::vector<Check>& checks) {
    checks.push_back({"quirks", "resume-starts-a-fresh-stream", 1, resumeStartsFresh});
    checks.push_back({"quirks", "edit-rect-stable", 2, withEditor<rectStable>});
    checks.push_back({"quirks", "close-with-editor-open", 2, closeWithEditorOpen});
    checks.push_back({"quirks", "editor-on-another-thread", 3, withEditor<openOnAnotherThread>});
    checks.push_back({"quirks", "idle-from-another-thread", 3, withEditor<idleFromAnotherThread>});
    checks.push_back(
        {"quirks", "no-idle-while-exposed-and-clicked", 3, withEditor<noIdleWhileExposed>});
    checks.push_back({"quirks", "synthetic-events", 4, syntheticEvents});
    checks.push_back({"quirks", "open-close-200-no-growth", 4, withEditor<openCloseNoGrowth>});
    checks.push_back({"quirks", "parameters-inside-automate", 4, parametersInsideAutomate});
}

} // namespace gravelix::validator

#include "validator.h"

#include "audiobuffers.h"
#include "check.h"
#include "hostwindow.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>

#include <dlfcn.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gravelix::validator {
namespace {

std::vector<Check> allChecks() {
    std::vector<Check> checks;
    addLifecycleChecks(checks);
    addBlockChecks(checks);
    addNumericsChecks(checks);
    addParameterChecks(checks);
    addThreadChecks(checks);
    addRealtimeChecks(checks);
    addEditorChecks(checks);
    return checks;
}

std::string fullName(const Check& c) {
    return std::string(c.group) + "/" + c.name;
}

std::uint64_t checkSeed(std::uint64_t seed, const std::string& name) {
    // FNV-1a of the name mixed with the seed: reordering checks keeps each one's input.
    std::uint64_t h = 1469598103934665603ull ^ seed;
    for (char ch : name) {
        h = (h ^ static_cast<unsigned char>(ch)) * 1099511628211ull;
    }
    return h;
}

Outcome runGuarded(const Check& check, CheckContext& ctx) {
    void* pin = nullptr;
    if (check.pinLibrary && ctx.opts.isolate) {
        const std::string path =
            ctx.pluginPath.find('/') == std::string::npos ? "./" + ctx.pluginPath : ctx.pluginPath;
        // Never unloaded, so a leak or sanitizer report at exit still names the plug-in's code.
        pin = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    }
    struct Unpin {
        void* handle;
        ~Unpin() {
            if (handle != nullptr) {
                dlclose(handle);
            }
        }
    } unpin{pin};
    try {
        return check.run(ctx);
    } catch (const std::exception& e) {
        return fail(std::string("exception: ") + e.what());
    } catch (...) {
        return fail("unknown exception");
    }
}

// Outcome travels from the child as one status byte followed by the reason text.
Outcome runIsolated(const Check& check, CheckContext& ctx) {
    int fds[2];
    if (pipe(fds) != 0) {
        return runGuarded(check, ctx);
    }
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        return runGuarded(check, ctx);
    }
    if (pid == 0) {
        close(fds[0]);
        const Outcome o = runGuarded(check, ctx);
        std::string msg(1, static_cast<char>('0' + static_cast<int>(o.status)));
        msg += o.reason;
        const char* p = msg.data();
        std::size_t left = msg.size();
        while (left > 0) {
            const ssize_t n = write(fds[1], p, left);
            if (n <= 0) {
                break;
            }
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        close(fds[1]);
        // A normal exit, so leak checkers report what the check left behind.
        std::exit(0);
    }
    close(fds[1]);
    std::string msg;
    bool timedOut = false;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(long(ctx.opts.checkTimeout * 1000));
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd pfd{fds[0], POLLIN, 0};
        const int r = poll(&pfd, 1, static_cast<int>(std::min<long>(left, 1000)));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r == 0) {
            continue;
        }
        char buf[4096];
        const ssize_t n = read(fds[0], buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        msg.append(buf, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (timedOut) {
        kill(pid, SIGKILL);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut) {
        std::ostringstream s;
        s << "did not finish within " << ctx.opts.checkTimeout << " s (hang or deadlock)";
        return fail(s.str());
    }
    std::string exitProblem;
    if (WIFSIGNALED(status)) {
        exitProblem = std::string("crashed with signal ") + std::to_string(WTERMSIG(status)) +
                      " (" + strsignal(WTERMSIG(status)) + ")";
    } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        exitProblem = "exited with status " + std::to_string(WEXITSTATUS(status));
    }
    if (msg.empty()) {
        return fail(exitProblem.empty() ? "ended without a result" : exitProblem);
    }
    Outcome o;
    o.status = static_cast<Status>(msg[0] - '0');
    o.reason = msg.substr(1);
    if (!exitProblem.empty()) {
        // The check finished, but the process did not end cleanly (a sanitizer's or leak
        // checker's report, a crash in a destructor or an exit handler).
        o.status = Status::Fail;
        o.reason = (o.reason.empty() ? "" : o.reason + "; ") + "afterwards " + exitProblem;
    }
    return o;
}

const char* label(Status s) {
    switch (s) {
    case Status::Pass:
        return "pass";
    case Status::Fail:
        return "FAIL";
    case Status::Skip:
        return "skip";
    }
    return "?";
}

} // namespace

std::vector<std::string> checkNames() {
    std::vector<std::string> names;
    for (const auto& c : allChecks()) {
        names.push_back(fullName(c));
    }
    return names;
}

std::vector<CheckOutcome> validate(const std::string& pluginPath, const ValidationOptions& opts,
                                   std::ostream& out) {
    std::vector<CheckOutcome> results;
    CheckContext ctx;
    ctx.pluginPath = pluginPath;
    ctx.opts = opts;
    ctx.opts.strictness = std::clamp(opts.strictness, 1, 10);
    ctx.display = opts.editor && displayAvailable();
    // Under valgrind everything runs some 20 to 50 times slower.
    if (const char* preload = std::getenv("LD_PRELOAD");
        preload != nullptr && std::strstr(preload, "vgpreload") != nullptr) {
        ctx.opts.checkTimeout *= 30;
        SignalStats::judgeSubnormals = false;
    }
    // A child's crash must not take the suite with it; a broken pipe is an error, not a death.
    std::signal(SIGPIPE, SIG_IGN);

    int passed = 0, failed = 0, skipped = 0;
    bool loadable = true;
    for (const auto& check : allChecks()) {
        const std::string name = fullName(check);
        if (check.level > ctx.opts.strictness ||
            (!opts.only.empty() && name.find(opts.only) == std::string::npos)) {
            continue;
        }
        CheckOutcome r;
        r.name = name;
        const auto t0 = std::chrono::steady_clock::now();
        if (!loadable) {
            r.status = Status::Skip;
            r.reason = "the plug-in does not load";
        } else {
            ctx.seed = checkSeed(opts.seed, name);
            const Outcome o = opts.isolate ? runIsolated(check, ctx) : runGuarded(check, ctx);
            r.status = o.status;
            r.reason = o.reason;
        }
        r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (name == "lifecycle/load" && r.status == Status::Fail) {
            loadable = false;
        }
        switch (r.status) {
        case Status::Pass:
            ++passed;
            break;
        case Status::Fail:
            ++failed;
            break;
        case Status::Skip:
            ++skipped;
            break;
        }
        char time[32];
        std::snprintf(time, sizeof time, "%7.2fs", r.seconds);
        out << label(r.status) << "  " << time << "  " << name;
        if (!r.reason.empty()) {
            out << ": " << r.reason;
        }
        out << '\n';
        out.flush();
        results.push_back(std::move(r));
    }
    out << passed << " passed, " << failed << " failed";
    if (skipped != 0) {
        out << ", " << skipped << " skipped";
    }
    out << '\n';
    return results;
}

int runValidation(const std::string& pluginPath, const ValidationOptions& opts, std::ostream& out) {
    const auto results = validate(pluginPath, opts, out);
    for (const auto& r : results) {
        if (r.status == Status::Fail) {
            return 1;
        }
    }
    return results.empty() ? 1 : 0;
}

} // namespace gravelix::validator

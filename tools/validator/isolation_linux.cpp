// Each check in a child process of its own (fork): a crash or hang of the plug-in ends that
// check, not the suite.
#include "isolation.h"

#include "tools/hosting/hostwindow.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gravelix::validator {

void prepareIsolation() {
    // A child's crash must not take the suite with it; a broken pipe is an error, not a death.
    std::signal(SIGPIPE, SIG_IGN);
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
        // The run's X connection stays the parent's: two processes' requests on one socket
        // would corrupt it, and closing it here would close it for the parent too. It stays
        // reachable and unused; this process opens its own when a check first wants a window.
        static auto* inherited = new std::shared_ptr<host::HostDisplay>();
        *inherited = std::move(ctx.connection);
        const Outcome o = runGuarded(check, ctx);
        ctx.connection.reset();
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

} // namespace gravelix::validator

// Windows has no fork: each check runs in this process on a thread of its own, watched for the
// time limit. A hung check is reported and left behind (a thread cannot be stopped safely); a
// crash ends the run, as --in-process does.
#include "isolation.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sstream>
#include <thread>

namespace gravelix::validator {

void prepareIsolation() {}

Outcome runIsolated(const Check& check, CheckContext& ctx) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        Outcome outcome;
    };
    auto shared = std::make_shared<Shared>();
    // The check keeps its own copy of the context: a hung one may outlive this call.
    std::thread worker([shared, check, context = ctx]() mutable {
        Outcome o = runGuarded(check, context);
        std::lock_guard lock(shared->mutex);
        shared->outcome = std::move(o);
        shared->finished = true;
        shared->done.notify_all();
    });
    std::unique_lock lock(shared->mutex);
    const bool finished =
        shared->done.wait_for(lock, std::chrono::milliseconds(long(ctx.opts.checkTimeout * 1000)),
                              [&] { return shared->finished; });
    lock.unlock();
    if (!finished) {
        worker.detach();
        std::ostringstream s;
        s << "did not finish within " << ctx.opts.checkTimeout << " s (hang or deadlock)";
        return fail(s.str());
    }
    worker.join();
    return shared->outcome;
}

} // namespace gravelix::validator

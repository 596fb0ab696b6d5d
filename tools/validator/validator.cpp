#include "validator.h"

#include "audiobuffers.h"
#include "check.h"
#include "editorhost.h"
#include "isolation.h"
#include "tools/hosting/pluginhost.h"
#include "tools/hosting/sharedlibrary.h"
#ifdef GRAVELIX_HOST_WITH_VST3
#include "tools/hosting/vst3platform.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <sstream>

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
    addQuirkChecks(checks);
#ifdef GRAVELIX_HOST_WITH_CLAP
    addClapChecks(checks);
#endif
#ifdef GRAVELIX_HOST_WITH_VST3
    addVst3Checks(checks);
#endif
#ifdef GRAVELIX_HOST_WITH_LV2
    addLv2Checks(checks);
#endif
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

} // namespace

Outcome runGuarded(const Check& check, CheckContext& ctx) {
    void* pin = nullptr;
    if (check.pinLibrary && ctx.opts.isolate) {
        // Never unloaded, so a leak or sanitizer report at exit still names the plug-in's code.
        std::string reason;
        std::string library = ctx.pluginPath;
#ifdef GRAVELIX_HOST_WITH_VST3
        if (std::filesystem::is_directory(library)) {
            library = host::vst3BundleBinary(library).string();
        }
#endif
        pin = host::openSharedLibrary(library, reason, true);
    }
    struct Unpin {
        void* handle;
        ~Unpin() { host::closeSharedLibrary(handle); }
    } unpin{pin};
    try {
        return check.run(ctx);
    } catch (const std::exception& e) {
        return fail(std::string("exception: ") + e.what());
    } catch (...) {
        return fail("unknown exception");
    }
}

namespace {

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
    // One connection for the whole run, as a host has: a bare X server resets whenever its last
    // client leaves, and refuses the next check's connections while it does.
    ctx.display = opts.editor && connectDisplay(ctx);
    // Under valgrind everything runs some 20 to 50 times slower.
    if (const char* preload = std::getenv("LD_PRELOAD");
        preload != nullptr && std::strstr(preload, "vgpreload") != nullptr) {
        ctx.opts.checkTimeout *= 30;
        SignalStats::judgeSubnormals = false;
    }
    prepareIsolation();

    int passed = 0, failed = 0, skipped = 0;
    bool loadable = true;
    const bool clap = host::PluginHost::isClapPath(pluginPath);
    const bool vst3 = host::PluginHost::isVst3Path(pluginPath);
    const bool lv2 = host::PluginHost::isLv2Path(pluginPath);
    for (const auto& check : allChecks()) {
        const std::string name = fullName(check);
        if ((std::strcmp(check.group, "clap") == 0 && !clap) ||
            (std::strcmp(check.group, "vst3") == 0 && !vst3) ||
            (std::strcmp(check.group, "lv2") == 0 && !lv2) || check.level > ctx.opts.strictness ||
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
    ctx.connection.reset();
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

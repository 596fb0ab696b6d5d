// What one check is, and what it gets to work with.
#pragma once

#include "validator.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace gravelix::host {
class HostDisplay;
}

namespace gravelix::validator {

struct Outcome {
    Status status = Status::Pass;
    std::string reason;
};

inline Outcome pass(std::string reason = {}) {
    return {Status::Pass, std::move(reason)};
}
inline Outcome fail(std::string reason) {
    return {Status::Fail, std::move(reason)};
}
inline Outcome skip(std::string reason) {
    return {Status::Skip, std::move(reason)};
}

struct CheckContext {
    std::string pluginPath;
    ValidationOptions opts;
    std::uint64_t seed = 1; // per check, derived from the options' seed and the check name
    bool display = false;   // an X display can be opened
    // The window-system connection every host window of this process is made on, kept for the
    // whole run as a host keeps its own (see windowFor()).
    std::shared_ptr<host::HostDisplay> connection;

    // Repetition counts grow with strictness: base at 1, base * 4 at 10.
    int scaled(int base) const { return base + base * (opts.strictness - 1) / 3; }
};

struct Check {
    const char* group;
    const char* name;
    int level; // runs at this strictness and above
    Outcome (*run)(CheckContext&);
    // Keep the library loaded for the whole check, so instances come and go without the
    // library being unloaded and loaded again each time; off where unloading is the point.
    bool pinLibrary = true;
};

void addLifecycleChecks(std::vector<Check>& checks);
void addBlockChecks(std::vector<Check>& checks);
void addNumericsChecks(std::vector<Check>& checks);
void addParameterChecks(std::vector<Check>& checks);
void addThreadChecks(std::vector<Check>& checks);
void addRealtimeChecks(std::vector<Check>& checks);
void addEditorChecks(std::vector<Check>& checks);
void addQuirkChecks(std::vector<Check>& checks);
// Built with CLAP hosting only; run for CLAP plug-ins only.
void addClapChecks(std::vector<Check>& checks);
// Built with VST3 hosting only; run for VST3 plug-ins only.
void addVst3Checks(std::vector<Check>& checks);
// Built with LV2 hosting only; run for LV2 plug-ins only.
void addLv2Checks(std::vector<Check>& checks);

} // namespace gravelix::validator

// Runs the plug-in checks: what `gravelix-host validate` does, and what the tests call.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace gravelix::validator {

struct ValidationOptions {
    int strictness = 5;        // 1..10: higher runs more checks and longer ones
    std::uint64_t seed = 1;    // every random choice derives from it
    bool isolate = true;       // each check in its own child process (crash/hang safe)
    double checkTimeout = 120; // seconds a check may take before it counts as hung
    std::string only;          // run only checks whose "group/name" contains this
    bool editor = true;        // editor checks, when the plug-in has one and X is there
    float outputBound = 16.0f; // largest output magnitude accepted for full-scale input
    std::string pluginId;      // which plug-in of a CLAP file; empty for its first
};

enum class Status { Pass, Fail, Skip };

struct CheckOutcome {
    std::string name; // "group/check"
    Status status = Status::Fail;
    std::string reason;
    double seconds = 0;
};

// Runs every selected check, printing one line each and a closing "N passed, N failed".
std::vector<CheckOutcome> validate(const std::string& pluginPath, const ValidationOptions& opts,
                                   std::ostream& out);

// validate(), answered as a process exit status: 0 only when nothing failed.
int runValidation(const std::string& pluginPath, const ValidationOptions& opts, std::ostream& out);

// The names of all checks, for listing.
std::vector<std::string> checkNames();

} // namespace gravelix::validator

// How one check runs: guarded against exceptions in this process, or isolated so that a crash
// or hang of the plug-in cannot take the suite with it (the platform decides how).
#pragma once

#include "check.h"

namespace gravelix::validator {

Outcome runGuarded(const Check& check, CheckContext& ctx);
Outcome runIsolated(const Check& check, CheckContext& ctx);
// Called once before the first check.
void prepareIsolation();

} // namespace gravelix::validator

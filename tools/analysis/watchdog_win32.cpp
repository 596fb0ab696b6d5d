#include "watchdog.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gravelix::analysis {

namespace {

char crashText[1024];

LONG WINAPI onCrash(EXCEPTION_POINTERS*) {
    std::fputs(crashText, stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

void setCrashMessage(const std::string& message) {
    std::snprintf(crashText, sizeof crashText, "%s", message.c_str());
    SetUnhandledExceptionFilter(message.empty() ? nullptr : onCrash);
}

} // namespace gravelix::analysis

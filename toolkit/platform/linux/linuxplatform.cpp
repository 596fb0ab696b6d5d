#include "linuxplatform.h"

#include "linuxtimer.h"
#include "x11connection.h"
#include "x11frame.h"

namespace Toolkit::LinuxPlatform {

namespace {

// Per thread: each editor thread pumps its own connection.
thread_local bool pumping = false;

void paintAll() {
    X11Connection* connection = X11Connection::acquireIfOpen();
    if (!connection) {
        return;
    }
    for (X11Frame* frame : connection->referencedFrames()) {
        frame->paint();
        frame->releaseReference();
    }
    connection->release();
}

} // namespace

void pumpEvents() {
    if (pumping) {
        // Nested (a callback asked for idle processing): dispatching more input now could
        // reach a frame in the middle of handling another event.
        paintAll();
        return;
    }
    struct Flag {
        Flag() { pumping = true; }
        ~Flag() { pumping = false; }
    } flag;
    if (X11Connection* connection = X11Connection::acquireIfOpen()) {
        connection->dispatchPending();
        connection->release();
    }
    LinuxTimer::fireDue(monotonicMilliseconds());
    paintAll();
}

} // namespace Toolkit::LinuxPlatform

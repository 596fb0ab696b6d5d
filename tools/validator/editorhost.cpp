#include "editorhost.h"

#include "check.h"
#include "session.h"

#include <chrono>
#include <stdexcept>
#include <thread>

namespace gravelix::validator {

bool connectDisplay(CheckContext& ctx) {
    try {
        ctx.connection = std::make_shared<host::HostDisplay>();
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

bool editorSize(Session& s, int& width, int& height) {
    ERect* r = nullptr;
    s.dispatch(effEditGetRect, 0, 0, &r);
    if (r == nullptr) {
        return false;
    }
    width = r->right - r->left;
    height = r->bottom - r->top;
    return width > 0 && height > 0 && width < 10000 && height < 10000;
}

std::unique_ptr<HostWindow> windowFor(CheckContext& ctx, Session& s) {
    int w = 0, h = 0;
    if (!editorSize(s, w, h)) {
        w = 400;
        h = 300;
    }
    if (!ctx.connection) {
        ctx.connection = std::make_shared<host::HostDisplay>();
    }
    return std::make_unique<HostWindow>(ctx.connection, w, h, "gravelix validator",
                                        HostWindow::Kind::Bare);
}

void pumpIdle(Session& s, HostWindow* w, int count, int pauseMs) {
    for (int i = 0; i < count; ++i) {
        if (w != nullptr) {
            w->sync();
        }
        s.dispatch(effEditIdle);
        if (pauseMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        }
    }
    if (w != nullptr) {
        w->sync();
    }
}

} // namespace gravelix::validator

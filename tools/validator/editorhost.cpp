#include "editorhost.h"

#include "check.h"
#include "session.h"

#include <algorithm>
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

std::unique_ptr<Session> editorSession(CheckContext& ctx, bool needDisplay, Outcome& result) {
    if (needDisplay && !ctx.display) {
        result = skip("no X display");
        return nullptr;
    }
    auto s = openSession(ctx, result);
    if (s && (s->effect()->flags & effFlagsHasEditor) == 0) {
        result = skip("the plug-in has no editor");
        return nullptr;
    }
    return s;
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

void closeEditor(Session& s, HostWindow& w) {
    s.dispatch(effEditClose);
    pumpIdle(s, &w, 2);
}

bool settled(const std::vector<host::HostCall>& calls) {
    int open = 0;
    for (const auto& c : calls) {
        open += c.opcode == audioMasterBeginEdit ? 1 : c.opcode == audioMasterEndEdit ? -1 : 0;
    }
    return open <= 0;
}

void gesture(Session& s, HostWindow& w, int x, int y) {
    w.moveTo(x, y);
    pumpIdle(s, &w, 2, 2);
    w.button(true);
    pumpIdle(s, &w, 3, 2);
    for (int dy : {8, 20, 40}) {
        w.moveTo(x, std::max(0, y - dy));
        pumpIdle(s, &w, 1, 2);
    }
    w.button(false);
    pumpIdle(s, &w, 3, 2);
    // A loaded machine may deliver the release late; give it time before judging the gesture.
    for (int i = 0; i < 40 && !settled(s.host().state().calls()); ++i) {
        pumpIdle(s, &w, 1, 5);
    }
}

std::optional<std::pair<int, int>> findControl(Session& s, HostWindow& w) {
    constexpr int step = 30;
    for (int y = step / 2; y < w.height(); y += step) {
        for (int x = step / 2; x < w.width(); x += step) {
            s.host().state().clearCalls();
            gesture(s, w, x, y);
            for (const auto& c : s.host().state().calls()) {
                if (c.opcode == audioMasterAutomate) {
                    return std::pair{x, y};
                }
            }
        }
    }
    return std::nullopt;
}

} // namespace gravelix::validator

#include "editorsession.h"

#include <chrono>
#include <csignal>
#include <stdexcept>

namespace gravelix::host {

namespace {

volatile std::sig_atomic_t stopRequested = 0;
constexpr int kIdleMs = 33;
constexpr VstInt32 kScaleMessage = 0x50726553; // 'PreS'
constexpr VstIntPtr kScaleValue = 0x41654373;  // 'AeCs'

bool editorSize(const PluginHost& plugin, int& width, int& height) {
    ERect* rect = nullptr;
    plugin.dispatch(effEditGetRect, 0, 0, &rect);
    if (!rect) {
        return false;
    }
    const int w = rect->right - rect->left;
    const int h = rect->bottom - rect->top;
    // A rectangle that cannot be a window is ignored rather than trusted.
    if (w <= 0 || h <= 0 || w > 8192 || h > 8192) {
        return false;
    }
    width = w;
    height = h;
    return true;
}

} // namespace

EditorSession::EditorSession(const PluginHost& plugin, double scale) : plugin_(plugin) {
    if (!(plugin.effect()->flags & effFlagsHasEditor)) {
        throw std::runtime_error("'" + plugin.path() + "' has no editor");
    }
    HostWindow::declareDpiAware();
    if (scale > 0.0) {
        plugin.dispatch(effVendorSpecific, kScaleMessage, kScaleValue, nullptr,
                        static_cast<float>(scale));
    }
    int width = 400, height = 300;
    editorSize(plugin, width, height);
    window_ = std::make_unique<HostWindow>(width, height, plugin.effectName());
    plugin.state().setSizeWindowHandler([this](int w, int h) {
        if (w <= 0 || h <= 0 || w > 8192 || h > 8192) {
            return false;
        }
        window_->resize(w, h);
        return true;
    });
    // The window id travels in the pointer argument, as on other platforms the handle does.
    const auto parent = reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_->id()));
    plugin.dispatch(effEditOpen, 0, 0, parent);
    // Some editors only know their size once open.
    if (editorSize(plugin, width, height) &&
        (width != window_->width() || height != window_->height())) {
        window_->resize(width, height);
    }
    window_->waitMapped();
}

EditorSession::~EditorSession() {
    plugin_.dispatch(effEditClose);
    plugin_.state().setSizeWindowHandler(nullptr);
    window_->pump(0);
}

bool EditorSession::run(int milliseconds) {
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::milliseconds(milliseconds);
    auto next = clock::now();
    while (!stopRequested) {
        const auto now = clock::now();
        if (now >= next) {
            plugin_.dispatch(effEditIdle);
            next = now + std::chrono::milliseconds(kIdleMs);
        }
        if (now >= end) {
            return true;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::min(next, end) - clock::now());
        if (!window_->pump(static_cast<int>(std::max<long long>(wait.count(), 0)))) {
            return false;
        }
    }
    return false;
}

void EditorSession::stop() {
    stopRequested = 1;
}

} // namespace gravelix::host
